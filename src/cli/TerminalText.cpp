#include "cli/TerminalText.h"

#include "settings/ProgramInfo.h"

namespace {
QString printable(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.remove(QChar(ColourCodes::ChatSeparator));
    for (QChar& c : text) {
        const ushort u = c.unicode();
        if ((u < 0x20 && u != '\t' && u != '\n') || (u >= 0x7f && u < 0xa0))
            c = QLatin1Char('?');
    }
    return text;
}

QString sgr(int parameter)
{
    return QStringLiteral("\x1b[%1m").arg(parameter);
}
}

QString PrintableLine(QString text)
{
    for (QChar& c : text) {
        const ushort u = c.unicode();
        if (u < 0x20 || (u >= 0x7f && u < 0xa0))
            c = QLatin1Char('?');
    }
    return text;
}

void Print(FILE* stream, const QString& text)
{
    if (text.isEmpty())
        return;
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

void Tell(const QString& line)
{
    Print(stderr, ProgramInfo::Title + QStringLiteral(": ") + line + QLatin1Char('\n'));
}

int AnsiColour(int index)
{
    static const int parameters[8] = {90, 31, 32, 33, 34, 36, 35, 39};
    return parameters[index & 7];
}

QString TerminalText::add(const QString& decoded)
{
    QString text = m_held + printable(decoded);
    m_held.clear();
    if (text.endsWith(QLatin1Char('^'))) {
        m_held = text.right(1);
        text.chop(1);
    }
    const ColourCodes::Reading reading = ColourCodes::Read(text, m_colour);
    m_colour = reading.colourAtEnd;
    if (!m_colours)
        return reading.text;
    QString out;
    for (const ColourCodes::Run& run : reading.runs) {
        if (run.colour != m_drawn) {
            out += sgr(run.colour == ColourCodes::Plain ? 0 : AnsiColour(run.colour));
            m_drawn = run.colour;
        }
        const QString part = reading.text.mid(run.start, run.length);  // a line end comes last only
        if (m_drawn != ColourCodes::Plain && part.endsWith(QLatin1Char('\n'))) {
            out += part.chopped(1) + sgr(0) + QLatin1Char('\n');
            m_drawn = ColourCodes::Plain;
        } else {
            out += part;
        }
    }
    return out;
}

QString TerminalText::finish()
{
    QString out = m_held;
    m_held.clear();
    m_colour = ColourCodes::Plain;
    if (m_colours && m_drawn != ColourCodes::Plain)
        out += sgr(0);
    m_drawn = ColourCodes::Plain;
    return out;
}
