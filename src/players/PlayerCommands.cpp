#include "players/PlayerCommands.h"

#include "console/ServerAddress.h"

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
