#include "log/LogText.h"

#include <QList>

namespace {
const QString Hidden = QStringLiteral("********");

// What separates words for the server: a space, a tab, any control character.
bool isBlank(QChar c)
{
    return c <= QLatin1Char(' ');
}

// A word of a console line as the server reads it: a run of non-blanks, or a quoted text
// (up to the next quote, or the end when there is none). Positions within the line.
struct Word {
    int start = 0;
    int end = 0;  // one past the last character, closing quote included
    QString text;  // without its quotes
};

QList<Word> words(const QString& line, int from, int to)
{
    QList<Word> out;
    int i = from;
    while (true) {
        while (i < to && isBlank(line.at(i)))
            ++i;
        if (i >= to)
            return out;
        Word w;
        w.start = i;
        if (line.at(i) == QLatin1Char('"')) {
            const int close = line.indexOf(QLatin1Char('"'), i + 1);
            w.end = close < 0 || close >= to ? to : close + 1;
            w.text = line.mid(i + 1, (close < 0 || close >= to ? to : close) - i - 1);
        } else {
            while (i < to && !isBlank(line.at(i)) && line.at(i) != QLatin1Char('"'))
                ++i;
            w.end = i;
            w.text = line.mid(w.start, i - w.start);
        }
        i = w.end;
        out.append(w);
    }
}

bool isSetCommand(const QString& word)
{
    for (const char* set : {"set", "seta", "sets", "setu", "toggle"}) {
        if (word.compare(QLatin1String(set), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// `"name" is:"value^7" default:"^7"`: true when the line has that shape for a password
// variable; every quoted value after the name is then hidden.
bool maskOneVariable(QString& line)
{
    int i = 0;
    while (i < line.size() && isBlank(line.at(i)))
        ++i;
    if (i >= line.size() || line.at(i) != QLatin1Char('"'))
        return false;
    const int nameEnd = line.indexOf(QLatin1Char('"'), i + 1);
    if (nameEnd < 0 || !IsPasswordVariable(line.mid(i + 1, nameEnd - i - 1))
        || !QStringView(line).mid(nameEnd + 1).trimmed().startsWith(QLatin1String("is:")))
        return false;
    int open = line.indexOf(QLatin1Char('"'), nameEnd + 1);
    while (open >= 0) {
        int close = line.indexOf(QLatin1Char('"'), open + 1);
        if (close < 0)
            close = line.size();
        int valueEnd = close;
        if (line.mid(open + 1, valueEnd - open - 1).endsWith(QLatin1String("^7")))
            valueEnd -= 2;  // the server's colour reset after the value
        if (valueEnd > open + 1) {
            line.replace(open + 1, valueEnd - open - 1, Hidden);
            close += Hidden.size() - (valueEnd - open - 1);
        }
        open = close + 1 < line.size() ? line.indexOf(QLatin1Char('"'), close + 1) : -1;
    }
    return true;
}

// `<flags> name "value"`: the flags are the letters of cvarlist's flag columns (no name
// that holds "password" is made of them), the value runs from the first quote to the last
// one, which ends the line (or, in a line cut short, to the end).
bool maskCvarlistLine(QString& line)
{
    const int open = line.indexOf(QLatin1Char('"'));
    if (open < 0)
        return false;
    const QList<Word> before = words(line, 0, open);
    if (before.isEmpty() || before.constLast().end == open)
        return false;
    // The name stands right before the blanks before the quote; only flags before it.
    for (int w = 0; w + 1 < before.size(); ++w) {
        for (QChar c : before.at(w).text) {
            if (!QStringLiteral("SURIALC?").contains(c))
                return false;
        }
    }
    if (!IsPasswordVariable(before.constLast().text))
        return false;
    int close = line.lastIndexOf(QLatin1Char('"'));
    if (close == open) {
        close = line.size();
    } else {
        for (QChar c : QStringView(line).mid(close + 1)) {
            if (c > QLatin1Char(' '))
                return false;  // more after the value: a command, masked as one
        }
    }
    if (close > open + 1)
        line.replace(open + 1, close - open - 1, Hidden);
    return true;
}

// `name value` and `set name value` for a password variable lose everything after the name,
// to the end of the line: a server that runs an rcon command does not split it at `;` (the
// value is then "a; status"), a console that does would run the rest as commands. Either way
// the line is masked from the first value on, in whichever of its `;` parts it stands.
void maskCommands(QString& line)
{
    int start = 0;
    while (start <= line.size()) {
        int end = start;
        bool quoted = false;
        while (end < line.size() && (quoted || line.at(end) != QLatin1Char(';'))) {
            if (line.at(end) == QLatin1Char('"'))
                quoted = !quoted;
            ++end;
        }
        const QList<Word> w = words(line, start, end);
        int nameWord = -1;
        if (w.size() >= 1 && IsPasswordVariable(w.at(0).text))
            nameWord = 0;
        else if (w.size() >= 2 && isSetCommand(w.at(0).text) && IsPasswordVariable(w.at(1).text))
            nameWord = 1;
        if (nameWord >= 0) {
            // The value starts at the first non-blank after the name, a `;` included.
            int from = w.at(nameWord).end;
            while (from < line.size() && isBlank(line.at(from)))
                ++from;
            if (from < line.size())
                line.replace(from, line.size() - from, Hidden);
            return;
        }
        start = end + 1;
    }
}

QString maskLine(QString line)
{
    if (!line.contains(QLatin1String("password"), Qt::CaseInsensitive))
        return line;
    if (!maskOneVariable(line) && !maskCvarlistLine(line))
        maskCommands(line);
    return line;
}
}

bool IsPasswordVariable(const QString& name)
{
    return name.contains(QLatin1String("password"), Qt::CaseInsensitive);
}

QString MaskPasswords(const QString& text)
{
    if (!text.contains(QLatin1String("password"), Qt::CaseInsensitive))
        return text;
    QString out;
    out.reserve(text.size());
    int start = 0;
    while (start < text.size()) {
        int end = text.indexOf(QLatin1Char('\n'), start);
        end = end < 0 ? text.size() : end;
        // A line's CR stays outside of it, so that a value never takes it in.
        const int lineEnd = end > start && text.at(end - 1) == QLatin1Char('\r') ? end - 1 : end;
        out += maskLine(text.mid(start, lineEnd - start));
        out += QStringView(text).mid(lineEnd, end - lineEnd + (end < text.size() ? 1 : 0));
        start = end + 1;
    }
    return out;
}

QString CaretNotation(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t' && u != u'\r' && u != u'\n') || u == 0x7f) {
            out += QLatin1Char('^');
            out += u == 0x7f ? QLatin1Char('?') : QChar(u + 0x40);
        } else {
            out += c;
        }
    }
    return out;
}
