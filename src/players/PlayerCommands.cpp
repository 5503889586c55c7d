#include "players/PlayerCommands.h"

#include "console/ColourCodes.h"
#include "console/ServerAddress.h"
#include "players/StatusTable.h"

#include <QHostAddress>

QString KickCommand(int client)
{
    return QStringLiteral("clientkick %1").arg(client);
}

QString AddressIp(const QString& address)
{
    const QString host = SplitServerAddress(address).host;
    return QHostAddress(host).isNull() ? QString() : host;
}

QString BanCommand(const QString& ip)
{
    return QStringLiteral("banaddr ") + ip;
}

QString TellCommand(int client, const QString& text)
{
    QString message;
    message.reserve(text.size());
    for (QChar c : text) {
        if (c == QLatin1Char('"'))
            message += QLatin1Char('\'');
        else if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            message += QLatin1Char(' ');
        else
            message += c;
    }
    message = message.trimmed();
    if (message.isEmpty())
        return QString();
    return QStringLiteral("tell %1 \"%2\"").arg(QString::number(client), message);
}

QString PlayerChange(const PlayerRow& chosen, const QVector<PlayerRow>& now, bool sameAddress)
{
    const QString client = QString::number(chosen.client);
    QString was = ColourCodes::Strip(chosen.name);
    for (const PlayerRow& row : now) {
        if (row.client != chosen.client)
            continue;
        if (row.name != chosen.name) {
            QString is = ColourCodes::Strip(row.name);
            if (is == was) {  // only the colours differ: the names as sent tell them apart
                was = chosen.name;
                is = row.name;
            }
            return QStringLiteral("%1 left; client %2 is now %3.").arg(was, client, is);
        }
        if (sameAddress && row.address != chosen.address)
            return QStringLiteral("%1 (client %2) now has the address %3, not %4.").arg(was, client, row.address, chosen.address);
        return QString();
    }
    return QStringLiteral("%1 left; client %2 is empty now.").arg(was, client);
}
