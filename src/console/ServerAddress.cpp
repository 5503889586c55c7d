#include "console/ServerAddress.h"

#include "console/LocaleNumber.h"

namespace {
// A port part: ASCII digits only, 1..65535; leading zeros allowed.
bool readPort(const QString& text, QString* port)
{
    if (text.isEmpty() || text.size() > 10)
        return false;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    const qlonglong n = text.toLongLong();
    if (n < 1 || n > 65535)
        return false;
    *port = QString::number(n);
    return true;
}
}

ServerAddress SplitServerAddress(const QString& text)
{
    ServerAddress a;
    a.host = text;
    if (text.startsWith(QLatin1Char('['))) {
        const int close = text.indexOf(QLatin1Char(']'));
        if (close < 0)
            return a;
        const QString rest = text.mid(close + 1);
        if (rest.isEmpty()) {
            a.host = text.mid(1, close - 1);
        } else if (rest.startsWith(QLatin1Char(':'))) {
            a.host = text.mid(1, close - 1);
            a.badPort = !readPort(rest.mid(1), &a.port);
        }
        return a;
    }
    if (text.count(QLatin1Char(':')) == 1) {
        const int colon = text.indexOf(QLatin1Char(':'));
        a.host = text.left(colon);
        a.badPort = !readPort(text.mid(colon + 1), &a.port);
    }
    return a;
}

QString ServerAddressText(const QString& host, int port)
{
    const bool ipv6 = host.contains(QLatin1Char(':'));
    return (ipv6 ? QLatin1Char('[') + host + QLatin1Char(']') : host) + QLatin1Char(':') + QString::number(port);
}

ServerBoxes ReadServerBoxes(const QString& addressText, const QString& portText)
{
    static const QString portRange = QStringLiteral("The server port must be a number from 1 to 65535.");
    ServerBoxes b;
    const ServerAddress a = SplitServerAddress(addressText);
    b.host = a.host;
    b.portText = a.port.isEmpty() ? portText : a.port;
    if (a.host.isEmpty()) {
        b.problemBox = ServerBoxes::AddressBox;
        b.problem = QStringLiteral("You must provide a server address.");
    } else if (a.badPort) {
        b.problemBox = ServerBoxes::AddressBox;
        b.problem = portRange;
    } else if (b.portText.isEmpty()) {
        b.problemBox = ServerBoxes::PortBox;
        b.problem = QStringLiteral("You must provide a server port.  Default: 27960");
    } else if (const std::optional<int> port = ConvertPort(b.portText)) {
        b.port = *port;
    } else {
        b.problemBox = ServerBoxes::PortBox;
        b.problem = portRange;
    }
    return b;
}
