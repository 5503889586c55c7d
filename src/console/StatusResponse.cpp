#include "console/StatusResponse.h"

namespace {
const QByteArray OutOfBand("\xff\xff\xff\xff", 4);

bool readInt(const QByteArray& text, int* value)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (ok)
        *value = v;
    return ok;
}

// One player line: `score ping "name"`. The engine writes the name between quotes and keeps
// quotes out of names, but a reply is anyone's bytes: the name is everything between the
// first quote and the last one on the line.
bool readPlayer(const QByteArray& line, StatusPlayer* player)
{
    const int open = line.indexOf('"');
    const int close = line.lastIndexOf('"');
    if (open < 0 || close <= open)
        return false;
    const QList<QByteArray> numbers = line.left(open).simplified().split(' ');
    if (numbers.size() != 2 || !readInt(numbers.at(0), &player->score) || !readInt(numbers.at(1), &player->ping)
        || player->ping < 0)
        return false;
    player->name = QString::fromLatin1(line.mid(open + 1, close - open - 1));
    return !player->name.isEmpty();
}

QByteArray withoutCr(QByteArray line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}
}

QString StatusResponse::value(const QString& key) const
{
    const auto exact = info.constFind(key);
    if (exact != info.constEnd())
        return exact.value();
    for (auto it = info.constBegin(); it != info.constEnd(); ++it) {
        if (it.key().compare(key, Qt::CaseInsensitive) == 0)
            return it.value();
    }
    return QString();
}

QString StatusResponse::challenge() const
{
    return value(QStringLiteral("challenge"));
}

QString StatusResponse::version() const
{
    return value(QStringLiteral("version"));
}

QString StatusResponse::hostName() const
{
    const QString name = value(QStringLiteral("sv_hostname"));
    return name.isEmpty() ? value(QStringLiteral("hostname")) : name;
}

QString StatusResponse::map() const
{
    return value(QStringLiteral("mapname"));
}

QString StatusResponse::gameType() const
{
    const QString type = value(QStringLiteral("g_gametype"));
    return type.isEmpty() ? value(QStringLiteral("gametype")) : type;
}

int StatusResponse::maxClients() const
{
    bool ok = false;
    const int n = value(QStringLiteral("sv_maxclients")).trimmed().toInt(&ok);
    return ok && n > 0 ? n : 0;
}

int StatusResponse::bots() const
{
    int n = 0;
    for (const StatusPlayer& p : players)
        n += p.ping == 0 ? 1 : 0;
    return n;
}

int StatusResponse::humans() const
{
    return static_cast<int>(players.size()) - bots();
}

QByteArray BuildStatusRequest(const QString& token)
{
    QByteArray request = OutOfBand + "getstatus";
    if (!token.isEmpty())
        request += ' ' + token.toLatin1();
    return request;
}

StatusResponse ReadStatusResponse(const QByteArray& datagram)
{
    StatusResponse response;
    if (!datagram.startsWith(OutOfBand))
        return response;
    QList<QByteArray> lines = datagram.mid(OutOfBand.size()).split('\n');
    // The engine reads the first word of the first line as the kind of message, letter case
    // ignored; the info line must follow it.
    if (lines.size() < 2 || withoutCr(lines.at(0)).trimmed().toLower() != "statusresponse")
        return response;

    // "\key\value\key\value": the leading backslash is optional, a key without its value
    // has an empty one.
    QByteArray infoLine = withoutCr(lines.at(1));
    if (infoLine.startsWith('\\'))
        infoLine.remove(0, 1);
    if (!infoLine.isEmpty()) {
        const QList<QByteArray> parts = infoLine.split('\\');
        for (int i = 0; i < parts.size(); i += 2) {
            if (parts.at(i).isEmpty())
                continue;
            response.info.insert(QString::fromLatin1(parts.at(i)),
                i + 1 < parts.size() ? QString::fromLatin1(parts.at(i + 1)) : QString());
        }
    }
    response.valid = true;

    for (int i = 2; i < lines.size(); ++i) {
        const QByteArray line = withoutCr(lines.at(i));
        if (line.trimmed().isEmpty())
            continue;
        StatusPlayer player;
        if (readPlayer(line, &player))
            response.players.append(player);
        else
            ++response.skipped;
    }
    return response;
}
