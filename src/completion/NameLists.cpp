#include "completion/NameLists.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace {
const QByteArray FileHeader = QByteArrayLiteral("telmorax names 1");
const QByteArray CommandsSection = QByteArrayLiteral("[commands]");
const QByteArray VariablesSection = QByteArrayLiteral("[variables]");

// The lines of a text, each without its CR LF or LF.
QList<QStringView> lines(const QString& text)
{
    QList<QStringView> found;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = text.size();
        qsizetype stop = end;
        if (stop > start && text.at(stop - 1) == QLatin1Char('\r'))
            --stop;
        found.append(QStringView(text).mid(start, stop - start));
        start = end + 1;
    }
    return found;
}

bool isLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

bool isNameChar(QChar c)
{
    return isLetter(c) || c == QLatin1Char('_') || (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
}

// A letter or "_", then letters, digits and "_".
bool isName(QStringView text)
{
    if (text.isEmpty() || !(isLetter(text.front()) || text.front() == QLatin1Char('_')))
        return false;
    for (QChar c : text) {
        if (!isNameChar(c))
            return false;
    }
    return true;
}

// The name of a cmdlist line: the line is one name, blanks around it allowed.
QStringView commandOfLine(QStringView line)
{
    line = line.trimmed();
    return isName(line) ? line : QStringView();
}

// The name of a cvarlist line: flag letters, "?" and blanks, then the name, a blank and the
// value's opening quote. Read in one pass: a word that is not followed by ` "` can only be
// flags, and flags are letters only.
QStringView variableOfLine(QStringView line)
{
    qsizetype i = 0;
    while (i < line.size()) {
        const QChar c = line.at(i);
        if (c == QLatin1Char(' ') || c == QLatin1Char('?')) {
            ++i;
            continue;
        }
        if (!isLetter(c) && c != QLatin1Char('_'))
            return {};
        qsizetype end = i;
        bool lettersOnly = true;
        for (; end < line.size() && isNameChar(line.at(end)); ++end)
            lettersOnly = lettersOnly && isLetter(line.at(end));
        if (end + 1 < line.size() && line.at(end) == QLatin1Char(' ') && line.at(end + 1) == QLatin1Char('"'))
            return line.mid(i, end - i);
        if (!lettersOnly)
            return {};
        i = end;
    }
    return {};
}

// The names of the lines, at most MaxNamesOfEachKind; *more tells whether there were others.
QStringList namesOfLines(const QString& text, QStringView (*nameOf)(QStringView), bool* more)
{
    QStringList names;
    if (more)
        *more = false;
    for (QStringView line : lines(text)) {
        const QStringView name = nameOf(line);
        if (name.isEmpty())
            continue;
        if (names.size() == MaxNamesOfEachKind) {
            if (more)
                *more = true;
            break;
        }
        names.append(name.toString());
    }
    return names;
}

bool lessIgnoringCase(const QString& a, const QString& b)
{
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

// Sorted, each name once, letter case not counting, and none of those taken (lower case).
QStringList sortedOnce(QStringList names, const QSet<QString>& taken)
{
    std::sort(names.begin(), names.end(), lessIgnoringCase);
    QStringList once;
    for (const QString& name : names) {
        if (!once.isEmpty() && once.constLast().compare(name, Qt::CaseInsensitive) == 0)
            continue;
        if (!taken.contains(name.toLower()))
            once.append(name);
    }
    return once;
}
}

QStringList ReadReferenceList(const QString& text)
{
    // The program's own lists: a pattern is fine here.
    static const QRegularExpression entry(
        QStringLiteral(R"(^([A-Za-z_][A-Za-z0-9_]*)(?:\s+(?:<[^>]*>|\[[^\]]*\]|\([^)]*\)))*\s+-\s)"));
    QStringList names;
    for (QStringView line : lines(text)) {
        const QRegularExpressionMatch m = entry.match(line);
        if (m.hasMatch())
            names.append(m.captured(1));
    }
    return names;
}

QStringList ReadCommandList(const QString& reply, bool* more)
{
    return namesOfLines(reply, &commandOfLine, more);
}

QStringList ReadVariableList(const QString& reply, bool* more)
{
    return namesOfLines(reply, &variableOfLine, more);
}

NameLists Tidy(NameLists names)
{
    names.commands = sortedOnce(names.commands, {});
    QSet<QString> commands;
    commands.reserve(names.commands.size());
    for (const QString& name : names.commands)
        commands.insert(name.toLower());
    names.variables = sortedOnce(names.variables, commands);
    return names;
}

QStringList NamesStartingWith(const QStringList& names, const QString& prefix)
{
    QStringList found;
    for (const QString& name : names) {
        if (name.startsWith(prefix, Qt::CaseInsensitive))
            found.append(name);
    }
    return found;
}

WordToComplete FindWordToComplete(const QString& textBeforeCaret)
{
    static const QRegularExpression firstWord(QStringLiteral("^\\s*(\\S*)$"));
    static const QRegularExpression variableWord(
        QStringLiteral("^\\s*(?:set|seta|sets|setu|reset|toggle|unset)\\s+(\\S*)$"),
        QRegularExpression::CaseInsensitiveOption);
    WordToComplete word;
    QRegularExpressionMatch m = firstWord.match(textBeforeCaret);
    if (m.hasMatch()) {
        word.kind = WordToComplete::CommandOrVariable;
    } else {
        m = variableWord.match(textBeforeCaret);
        if (!m.hasMatch())
            return word;
        word.kind = WordToComplete::Variable;
    }
    word.start = m.capturedStart(1);
    word.prefix = m.captured(1);
    return word;
}

QStringList NamesOffered(const NameLists& tidyNames, const WordToComplete& word)
{
    if (word.prefix.isEmpty())
        return {};
    switch (word.kind) {
    case WordToComplete::CommandOrVariable:
        return NamesStartingWith(tidyNames.commands, word.prefix) + NamesStartingWith(tidyNames.variables, word.prefix);
    case WordToComplete::Variable:
        return NamesStartingWith(tidyNames.variables, word.prefix);
    case WordToComplete::None:
        break;
    }
    return {};
}

QByteArray WriteNameFile(const NameLists& names)
{
    QByteArray bytes = FileHeader + '\n' + CommandsSection + '\n';
    for (const QString& name : names.commands)
        bytes += name.toUtf8() + '\n';
    bytes += VariablesSection + '\n';
    for (const QString& name : names.variables)
        bytes += name.toUtf8() + '\n';
    return bytes;
}

bool ReadNameFile(const QByteArray& bytes, NameLists* names, bool cut)
{
    QList<QByteArray> fileLines = bytes.split('\n');
    if (fileLines.size() < 3 || fileLines.takeFirst() != FileHeader || fileLines.takeFirst() != CommandsSection)
        return false;
    // The last line of a whole file is empty; of a file read only up to the limit, cut short.
    if (fileLines.takeLast() != QByteArray() && !cut)
        return false;
    NameLists read;
    QStringList* section = &read.commands;
    for (const QByteArray& line : fileLines) {
        const QString text = QString::fromLatin1(line);
        if (line == VariablesSection && section == &read.commands)
            section = &read.variables;
        else if (!isName(text))
            return false;
        else if (section->size() < MaxNamesOfEachKind)
            section->append(text);
    }
    if (section != &read.variables && !cut)
        return false;
    *names = read;
    return true;
}

QString NameFileName(const QString& host, int port)
{
    QByteArray safe = host.toLower().toUtf8().toPercentEncoding();
    if (safe.size() > 150)
        safe = QCryptographicHash::hash(host.toLower().toUtf8(), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("names-%1-%2.txt").arg(QString::fromLatin1(safe), QString::number(port));
}
