#include "completion/NameLists.h"

#include <QCryptographicHash>
#include <QRegularExpression>

#include <algorithm>

namespace {
const QByteArray FileHeader = QByteArrayLiteral("telmorax names 1");
const QByteArray CommandsSection = QByteArrayLiteral("[commands]");
const QByteArray VariablesSection = QByteArrayLiteral("[variables]");

QStringList lines(const QString& text)
{
    static const QRegularExpression lineEnd(QStringLiteral("\r?\n"));
    return text.split(lineEnd);
}

// The first capture of every line that matches.
QStringList namesOfLines(const QString& text, const QRegularExpression& entry)
{
    QStringList names;
    for (const QString& line : lines(text)) {
        const QRegularExpressionMatch m = entry.match(line);
        if (m.hasMatch())
            names.append(m.captured(1));
    }
    return names;
}

bool lessIgnoringCase(const QString& a, const QString& b)
{
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

QStringList sortedOnce(QStringList names, const QStringList& taken)
{
    std::sort(names.begin(), names.end(), lessIgnoringCase);
    QStringList once;
    for (const QString& name : names) {
        if (!once.isEmpty() && once.constLast().compare(name, Qt::CaseInsensitive) == 0)
            continue;
        if (!taken.contains(name, Qt::CaseInsensitive))
            once.append(name);
    }
    return once;
}
}

QStringList ReadReferenceList(const QString& text)
{
    static const QRegularExpression entry(
        QStringLiteral(R"(^([A-Za-z_][A-Za-z0-9_]*)(?:\s+(?:<[^>]*>|\[[^\]]*\]|\([^)]*\)))*\s+-\s)"));
    return namesOfLines(text, entry);
}

QStringList ReadCommandList(const QString& reply)
{
    static const QRegularExpression entry(QStringLiteral("^\\s*([A-Za-z_][A-Za-z0-9_]*)\\s*$"));
    return namesOfLines(reply, entry);
}

QStringList ReadVariableList(const QString& reply)
{
    // The flag letters (S, U, R, I, A, L, C, ? and others, each or a space) stand before the
    // name; the name is the first word followed by a space and the value's opening quote.
    static const QRegularExpression entry(QStringLiteral("^[A-Za-z? ]*? ?([A-Za-z_][A-Za-z0-9_]*) \""));
    return namesOfLines(reply, entry);
}

NameLists Tidy(NameLists names)
{
    names.commands = sortedOnce(names.commands, {});
    names.variables = sortedOnce(names.variables, names.commands);
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

bool ReadNameFile(const QByteArray& bytes, NameLists* names)
{
    static const QRegularExpression name(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    QList<QByteArray> fileLines = bytes.split('\n');
    if (fileLines.size() < 3 || fileLines.takeFirst() != FileHeader || fileLines.takeFirst() != CommandsSection)
        return false;
    if (fileLines.takeLast() != QByteArray())  // a file cut short
        return false;
    NameLists read;
    QStringList* section = &read.commands;
    for (const QByteArray& line : fileLines) {
        if (line == VariablesSection && section == &read.commands)
            section = &read.variables;
        else if (name.match(QString::fromLatin1(line)).hasMatch())
            section->append(QString::fromLatin1(line));
        else
            return false;
    }
    if (section != &read.variables)
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
