#pragma once
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QString>
#include <QVector>

// The output pane: a read-only transcript whose text is kept with CR LF line ends, exactly
// as written to it; the widget shows it with ordinary line breaks. Positions (caret,
// selection) count characters of that text, CR and LF one each.
//
// Quake colour codes in the text ("^1" red, "^7" white, ...) are drawn as colours and not
// shown, unless colours are switched off: then the text is shown exactly as it is. Each
// write starts in the pane's own text colour, and so does each line. A write that goes on
// from the one before (the next datagram of one reply) goes on in its colour, and a "^"
// that ended the one and a letter or digit that starts the next make one code, as in the
// game's own console. The text kept (text()) always holds the codes.
//
// A line longer than WidestLine characters is shown over several lines on screen, so that
// no append lays out more than that again; the text kept, positions and what is copied
// know nothing of those breaks.
class OutputPane : public QPlainTextEdit {
    Q_OBJECT
public:
    enum class Write {
        New,        // starts afresh: an echo line, a reply, an error
        Continues,  // goes on from the text before it: the rest of a reply
    };

    static constexpr int WidestLine = 1000;

    explicit OutputPane(QWidget* parent = nullptr);

    QString text() const { return m_text; }
    // Replaces the whole text (an append is recognised and only the new part is laid out).
    // Emits changed() when the text differs, before returning. Text that replaces the whole
    // with just what the latest append added (the pane's cap) keeps the colours it had.
    void setText(const QString& text, Write write = Write::New);
    // Adds `text` at the end: setText() with the text kept and `text` after it.
    void append(const QString& text, Write write = Write::New) { setText(m_text + text, write); }
    // Adds `line` and its line end on a line of its own, even in the middle of a reply's line.
    void appendLine(const QString& line);
    // What the latest setText() added: the new part of an append, or the whole text when
    // the text was replaced by something that does not begin with the old text.
    QString lastAppended() const { return m_lastAppended; }

    int selStart() const;
    void setSelStart(int position);  // also empties the selection
    // The selected text as it is seen: without the colour codes while colours are shown.
    QString selText() const;

    bool showColours() const { return m_showColours; }
    // Draws what the pane holds again, with colours or as it is; the selection and the view
    // stay where they were.
    void setShowColours(bool show);

signals:
    void changed();

private:
    // A stretch of the text that starts in a colour of its own: each write that does not go
    // on from the one before starts one.
    struct Segment {
        int start;
        int colour;
    };
    const QString& shown() const { return m_showColours ? m_stripped : m_text; }
    void redraw();
    void placeCursor(QTextCursor cursor);
    // Positions in the text, in the text as shown, and on screen (a CR LF pair is one).
    int rawToShown(int textPos) const;
    int shownToRaw(int shownPos) const;
    int shownToDisplay(int shownPos) const;
    int displayToShown(int displayPos) const;

    QString m_text;
    QString m_lastAppended;
    int m_lastAppendColour;  // the colour the latest append started in
    bool m_showColours = true;
    QVector<Segment> m_segments;
    QString m_stripped;      // the text without its codes
    QVector<int> m_codes;    // where each code's "^" stands in the text, in order
    int m_endColour;         // the colour a write that continues starts in
    QVector<int> m_wraps;    // the breaks on screen only, as positions in the text shown
    int m_column = 0;        // characters on the last line on screen
};
