#include "maps/MapList.h"

#include <QCryptographicHash>
#include <QRegularExpression>

#include <algorithm>

namespace {
const QByteArray FileHeader = QByteArrayLiteral("telmorax maps 1");

QStringList lines(const QString& text)
{
    static const QRegularExpression lineEnd(QStringLiteral("\r?\n|\r"));
    return text.split(lineEnd);
}

QStringList sortedOnce(QStringList names)
{
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}
}

MapList ReadMapList(const QString& text)
{
    static const QRegularExpression dashes(QStringLiteral("^-+$"));
    static const QRegularExpression entry(QStringLiteral("^maps/(.+)\\.bsp$"), QRegularExpression::CaseInsensitiveOption);
    MapList list;
    for (const QString& line : lines(text)) {
        if (!list.found) {
            list.found = dashes.match(line).hasMatch();
            continue;
        }
        const QRegularExpressionMatch m = entry.match(line);
        if (m.hasMatch() && IsMapName(m.captured(1)))
            list.names.append(m.captured(1));
    }
    list.names = sortedOnce(list.names);
    return list;
}

bool IsMapName(const QString& name)
{
    static const QRegularExpression safe(QStringLiteral("^[A-Za-z0-9_.+()\\[\\]!~@#&,-]{1,64}$"));
    return safe.match(name).hasMatch();
}

QString ChangeMapCommand(const QString& name)
{
    return IsMapName(name) ? QStringLiteral("map \"%1\"").arg(name) : QString();
}

VariableValue ReadVariableValue(const QString& text, const QString& name)
{
    const QString start = QLatin1Char('"') + name + QStringLiteral("\" is:\"");
    static const QString endings[] = {QStringLiteral("^7\", the default"), QStringLiteral("^7\"")};
    for (const QString& line : lines(text)) {
        if (!line.startsWith(start, Qt::CaseInsensitive))
            continue;
        const QString rest = line.mid(start.size());
        // Its default follows the value in the same form; the value may hold anything.
        const int withDefault = rest.lastIndexOf(QStringLiteral("^7\" default:\""));
        if (withDefault >= 0)
            return {true, rest.left(withDefault)};
        for (const QString& ending : endings) {
            if (rest.endsWith(ending))
                return {true, rest.chopped(ending.size())};
        }
    }
    return {};
}

QString GameTypeText(const QString& number)
{
    static const char* const names[] = {"Free For All", "Tournament", "Single Player", "Team Deathmatch", "Capture the Flag"};
    bool ok = false;
    const int n = number.toInt(&ok);
    if (!ok || n < 0 || n >= int(std::size(names)))
        return number;
    return QStringLiteral("%1 (%2)").arg(QLatin1String(names[n]), number);
}

QString MapFileName(const QString& host, int port)
{
    QByteArray safe = host.toLower().toUtf8().toPercentEncoding();
    if (safe.size() > 150)
        safe = QCryptographicHash::hash(host.toLower().toUtf8(), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("maps-%1-%2.txt").arg(QString::fromLatin1(safe), QString::number(port));
}

QByteArray WriteMapFile(const QStringList& names)
{
    QByteArray bytes = FileHeader + '\n';
    for (const QString& name : names)
        bytes += name.toLatin1() + '\n';
    return bytes;
}

QStringList ReadMapFile(const QByteArray& bytes)
{
    QList<QByteArray> fileLines = bytes.split('\n');
    if (fileLines.isEmpty() || fileLines.takeFirst() != FileHeader)
        return {};
    QStringList names;
    for (const QByteArray& line : fileLines) {
        if (IsMapName(QString::fromLatin1(line)))
            names.append(QString::fromLatin1(line));
    }
    return sortedOnce(names);
}
