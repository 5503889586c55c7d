#pragma once
#include "console/ColourCodes.h"

#include <QString>

#include <cstdio>

// The server's answer as printed on standard output, one decoded datagram after another:
// lines end in LF; control characters other than TAB and LF (which could steer a terminal)
// become '?'; and the Quake colour codes are either removed or drawn in the terminal's own
// colours (ANSI SGR codes), with the colour reset before each line end. A colour, or a code
// cut between two datagrams, carries on into the next one.
class TerminalText {
public:
    explicit TerminalText(bool colours) : m_colours(colours) {}
    // The text to print for one datagram as DecodeReply() gives it (CR LF line ends).
    QString add(const QString& decoded);
    // The text to print when the answer is over: a "^" held back, the colour reset.
    QString finish();

private:
    bool m_colours;
    int m_colour = ColourCodes::Plain;   // the colour of the text read so far
    int m_drawn = ColourCodes::Plain;    // the colour the terminal draws in now
    QString m_held;                       // a "^" that may start a code in the next datagram
};

// Text of one line for the terminal: every control character (TAB and line ends too) becomes '?'.
QString PrintableLine(QString text);

// Writes text to a stream (UTF-8) at once.
void Print(FILE* stream, const QString& text);
// A line about the run on standard error, after the program's name.
void Tell(const QString& line);

// The SGR parameter for a colour index: black as grey and white as the terminal's own text
// colour, so that neither vanishes on a dark or a light terminal; the others as named.
int AnsiColour(int index);
