#pragma once
#include <QColor>
#include <QString>
#include <QVector>

// Quake colour codes, read as the engine reads them: "^" followed by an ASCII letter or
// digit is a code, and its colour index is (character - '0') AND 7, so "^1" red, "^7"
// white, "^9" red again, "^a" red. Any other "^" is text ("^^", "^ ", a "^" at the end).
// "^^1" is a "^" and then the code "^1", as in the game.
namespace ColourCodes {

// The colour of text that follows no code (the surface's own text colour).
constexpr int Plain = -1;

// A stretch of the text without codes drawn in one colour.
struct Run {
    int start = 0;   // position in the text without codes
    int length = 0;
    int colour = Plain;  // 0..7, or Plain
};

// A code taken out: the character after its "^", and where it stood in the text without codes.
struct Code {
    int position = 0;
    QChar character;
};

struct Reading {
    QString text;          // the input without its codes
    QVector<Run> runs;     // cover text from start to end, in order, no empty run
    QVector<Code> codes;   // in input order
    int colourAtEnd = Plain;
    // Read on after a "^": it and the first character of the input made a code. The reading
    // is then that of "^" followed by the input, and takes the "^" back from the text before.
    bool tookCaret = false;
};

// Reads text that starts in colour `colour`. A line end (CR or LF) brings back Plain.
// `afterCaret`: the input goes on from a text whose last character is a "^" (read as text
// there, with nothing after it), so a code character at its start completes a code.
Reading Read(const QString& input, int colour = Plain, bool afterCaret = false);

// The text without its codes.
QString Strip(const QString& input);

// The character the engine puts after a player's name in chat lines ("Bob^7\x19: hi"): the
// game draws it as nothing, and so do the pane and the terminal.
constexpr char16_t ChatSeparator = 0x19;

// Whether a character after "^" makes a code (an ASCII letter or digit).
bool IsCodeCharacter(QChar c);
// The colour index of a code character.
inline int IndexOf(QChar c) { return (c.unicode() - '0') & 7; }

// The output pane's own colours: its dark blue ground, and the yellow of text that follows
// no code.
inline QColor PaneBackground() { return QColor(0, 0, 192); }
inline QColor PaneText() { return QColor(255, 255, 0); }

// The eight colours drawn on the output pane's dark blue: each a tint of the game's colour
// with a contrast ratio of at least 4.5 to 1 against PaneBackground().
QColor PaneColour(int index);

// WCAG relative luminance and contrast ratio (1 to 21).
double RelativeLuminance(const QColor& c);
double ContrastRatio(const QColor& a, const QColor& b);

}
