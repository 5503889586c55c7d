#include "console/AnswerShape.h"

#include "console/ReadCommands.h"
#include "console/StatusResponse.h"

#include <QRegularExpression>
#include <QStringList>

namespace {
// A single datagram shorter than this that has none of its command's marks is the server's
// own message, not a piece of a list (the server fills a datagram to about a kilobyte first).
constexpr int ShortMessageBytes = 512;

enum class Reader { None, Status, CvarList, CmdList, Fdir, Dir, ServerInfo, DumpUser, ListBans, GetStatus, GetInfo };

Reader ReaderOf(const QString& command, bool outOfBand)
{
    const QString word = CommandWord(command);
    if (outOfBand)
        return word == QLatin1String("getstatus") ? Reader::GetStatus : word == QLatin1String("getinfo") ? Reader::GetInfo : Reader::None;
    static const QList<QPair<QString, Reader>> readers = {
        {QStringLiteral("status"), Reader::Status}, {QStringLiteral("cvarlist"), Reader::CvarList},
        {QStringLiteral("cmdlist"), Reader::CmdList}, {QStringLiteral("fdir"), Reader::Fdir},
        {QStringLiteral("dir"), Reader::Dir}, {QStringLiteral("serverinfo"), Reader::ServerInfo},
        {QStringLiteral("dumpuser"), Reader::DumpUser}, {QStringLiteral("listbans"), Reader::ListBans},
    };
    for (const auto& r : readers) {
        if (r.first == word)
            return IsReadOnly(command, false) ? r.second : Reader::None;
    }
    return Reader::None;
}

bool HasArgument(const QString& command)
{
    return command.simplified().contains(QLatin1Char(' '));
}

// A datagram's text: its header line ("\xff\xff\xff\xffprint") dropped, one character a byte.
QString Payload(const QByteArray& datagram)
{
    const int newline = datagram.indexOf('\n');
    return QString::fromLatin1(newline < 0 ? QByteArray() : datagram.mid(newline + 1));
}

bool IsDashes(const QString& line)
{
    static const QRegularExpression dashes(QStringLiteral("^-{2,}[- ]*$"));
    return dashes.match(line).hasMatch();
}

// Whether a piece of text (a datagram's, or the whole answer's) begins the answer.
bool Begins(Reader reader, const QString& text)
{
    const QStringList lines = text.left(256).split(QLatin1Char('\n'));
    const QString first = lines.value(0);
    switch (reader) {
    case Reader::Status: return first.startsWith(QLatin1String("map: "));
    case Reader::Fdir: return lines.size() > 1 && IsDashes(first);
    case Reader::Dir: return first.startsWith(QLatin1String("Directory of ")) && IsDashes(lines.value(1));
    case Reader::ServerInfo: return first == QLatin1String("Server info settings:");
    case Reader::DumpUser: return first == QLatin1String("userinfo") && IsDashes(lines.value(1));
    case Reader::ListBans: return first.startsWith(QLatin1String("Ban #1:")) || first.startsWith(QLatin1String("Except #1:"));
    default: return false;
    }
}

// The text's lines without the empty ones at its end.
QStringList LinesWithoutTail(const QString& text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// The number a count line gives ("295 total cvars"), -1 for a line of another form.
int CountOf(const QString& line, const QString& words)
{
    if (!line.endsWith(words))
        return -1;
    bool ok = false;
    const int n = line.left(line.size() - words.size()).toInt(&ok);
    return ok && n >= 0 ? n : -1;
}

// Where the count line stands among the lines (its index), -1 without one; cvarlist has a
// line of indexes after it.
int CountLine(Reader reader, const QStringList& lines, int* count)
{
    int at = lines.size() - 1;
    if (reader == Reader::CvarList && at >= 0 && CountOf(lines.at(at), QStringLiteral(" cvar indexes")) >= 0)
        --at;
    if (at < 0)
        return -1;
    static const QString words[] = {QStringLiteral(" total cvars"), QStringLiteral(" commands"), QStringLiteral(" files listed")};
    const QString& w = reader == Reader::CvarList ? words[0] : reader == Reader::CmdList ? words[1] : words[2];
    *count = CountOf(lines.at(at), w);
    return *count >= 0 ? at : -1;
}

// Whether a piece of text ends the answer.
bool Ends(Reader reader, const QString& text)
{
    if (reader == Reader::Status)
        return text.endsWith(QLatin1String("\n\n"));
    if (reader != Reader::CvarList && reader != Reader::CmdList && reader != Reader::Fdir)
        return false;
    int count = 0;
    return CountLine(reader, LinesWithoutTail(text.right(256)), &count) >= 0;
}

bool HasEnd(Reader reader)
{
    return reader == Reader::Status || reader == Reader::CvarList || reader == Reader::CmdList || reader == Reader::Fdir;
}

bool HasBeginning(Reader reader)
{
    return reader == Reader::Status || reader == Reader::Fdir || reader == Reader::Dir || reader == Reader::ServerInfo
        || reader == Reader::DumpUser || reader == Reader::ListBans;
}

// A status table: the header, the dashes, rows in ascending client numbers, the empty line.
bool StatusWhole(const QString& text)
{
    if (!text.endsWith(QLatin1String("\n\n")))
        return false;
    const QStringList lines = LinesWithoutTail(text);
    if (lines.size() < 3)
        return false;
    const QString header = lines.at(1).trimmed();
    if (!(header.startsWith(QLatin1String("cl ")) || header.startsWith(QLatin1String("num "))) || !IsDashes(lines.at(2)))
        return false;
    int last = -1;
    for (int i = 3; i < lines.size(); ++i) {
        bool ok = false;
        const int client = lines.at(i).section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty).toInt(&ok);
        if (!ok || client <= last || client > 255 || lines.at(i).size() < header.size() / 2)
            return false;
        last = client;
    }
    return true;
}

// A list that ends with its count: at least that many lines before the count line (after the
// line of dashes, for a file list). A filtered cvarlist still counts every variable.
bool CountedListWhole(Reader reader, const QString& command, const QString& text)
{
    const QStringList lines = LinesWithoutTail(text);
    int count = 0;
    const int at = CountLine(reader, lines, &count);
    if (at < 0)
        return false;
    int first = 0;
    if (reader == Reader::Fdir) {
        if (lines.isEmpty() || !IsDashes(lines.first()))
            return false;
        first = 1;
    }
    if (reader == Reader::CvarList && HasArgument(command))
        return true;
    int listed = 0;
    for (int i = first; i < at; ++i)
        listed += lines.at(i).isEmpty() ? 0 : 1;
    return listed >= count;  // more: lines the server printed meanwhile (a game log line), not a loss
}

// Bans numbered from 1, then exceptions numbered from 1, nothing else.
bool BanListWhole(const QString& text)
{
    static const QRegularExpression entry(QStringLiteral("^(Ban|Except) #(\\d+): \\S+/\\d+$"));
    int bans = 0;
    int exceptions = 0;
    for (const QString& line : LinesWithoutTail(text)) {
        const QRegularExpressionMatch m = entry.match(line);
        if (!m.hasMatch())
            return false;
        const bool ban = m.captured(1) == QLatin1String("Ban");
        if (ban && exceptions > 0)
            return false;
        int& n = ban ? bans : exceptions;
        if (m.captured(2).toInt() != ++n)
            return false;
    }
    return true;
}

ShapeVerdict Verdict(bool whole)
{
    return whole ? ShapeVerdict::Whole : ShapeVerdict::Broken;
}
}

bool HasKnownShape(const QString& command, bool outOfBand)
{
    return ReaderOf(command, outOfBand) != Reader::None;
}

QList<QByteArray> OrderedByShape(const QString& command, bool outOfBand, const QList<QByteArray>& datagrams)
{
    const Reader reader = ReaderOf(command, outOfBand);
    if (datagrams.size() < 2 || reader == Reader::None || outOfBand)
        return datagrams;
    QList<QByteArray> rest = datagrams;
    QList<QByteArray> head;
    QList<QByteArray> tail;
    // Moved only where exactly one datagram carries the mark: two would be a repeat, not an order.
    auto take = [&rest, reader](auto marks, QList<QByteArray>* into) {
        int found = -1;
        for (int i = 0; i < rest.size(); ++i) {
            if (marks(reader, Payload(rest.at(i)))) {
                if (found >= 0)
                    return;
                found = i;
            }
        }
        if (found >= 0)
            into->append(rest.takeAt(found));
    };
    if (HasBeginning(reader))
        take(Begins, &head);
    if (HasEnd(reader) && !rest.isEmpty())
        take(Ends, &tail);
    return head + rest + tail;
}

ShapeVerdict CheckShape(const QString& command, bool outOfBand, const QList<QByteArray>& datagrams)
{
    const Reader reader = ReaderOf(command, outOfBand);
    if (reader == Reader::None || datagrams.isEmpty())
        return ShapeVerdict::Unknown;
    if (reader == Reader::GetStatus) {
        const StatusResponse r = ReadStatusResponse(datagrams.first());
        return Verdict(r.valid && r.skipped == 0);
    }
    if (reader == Reader::GetInfo) {
        const QByteArray& d = datagrams.first();
        return Verdict(d.startsWith("\xff\xff\xff\xffinfoResponse\n") && d.mid(17).startsWith('\\'));
    }
    QString text;
    for (const QByteArray& d : datagrams)
        text += Payload(d);
    const bool begins = !HasBeginning(reader) || Begins(reader, text);
    const bool ends = !HasEnd(reader) || Ends(reader, text);
    const bool listsBans = text.contains(QLatin1String("Ban #")) || text.contains(QLatin1String("Except #"));
    if (datagrams.size() == 1 && datagrams.first().size() < ShortMessageBytes && !Begins(reader, text) && !Ends(reader, text)
        && !(reader == Reader::ListBans && listsBans))
        return ShapeVerdict::Whole;  // the server's own words: a usage line, "Server is not running."
    if (reader == Reader::ListBans)
        return Verdict(BanListWhole(text));
    if (!begins || !ends)
        return ShapeVerdict::Broken;
    switch (reader) {
    case Reader::Status: return Verdict(StatusWhole(text));
    case Reader::CvarList:
    case Reader::CmdList:
    case Reader::Fdir: return Verdict(CountedListWhole(reader, command, text));
    default: return ShapeVerdict::Whole;
    }
}
