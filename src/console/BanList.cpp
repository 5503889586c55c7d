#include "console/BanList.h"

#include <QHostAddress>
#include <QRegularExpression>

namespace {
// An IPv4 address in four dotted decimal parts, or an IPv6 address without a zone; "/prefix"
// within the family's length when given. Empty when it is none.
QString checked(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^([0-9A-Fa-f:.]{2,45})(?:/([0-9]{1,3}))?$"));
    static const QRegularExpression ipv4(QStringLiteral("^[0-9]{1,3}(\\.[0-9]{1,3}){3}$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return {};
    const QString address = m.captured(1);
    const bool v6 = address.contains(QLatin1Char(':'));
    QHostAddress parsed;
    if ((!v6 && !ipv4.match(address).hasMatch()) || !parsed.setAddress(address))
        return {};
    if (parsed.protocol() != (v6 ? QAbstractSocket::IPv6Protocol : QAbstractSocket::IPv4Protocol))
        return {};
    if (m.captured(2).isEmpty())
        return parsed.toString();
    const int prefix = m.captured(2).toInt();
    if (prefix > (v6 ? 128 : 32))
        return {};
    return parsed.toString() + QLatin1Char('/') + QString::number(prefix);
}
}

QString BanEntry::target() const
{
    return address + QLatin1Char('/') + QString::number(prefix);
}

bool BanEntry::sameAs(const BanEntry& other) const
{
    return kind == other.kind && prefix == other.prefix && address.compare(other.address, Qt::CaseInsensitive) == 0;
}

QList<BanEntry> ReadBanList(const QString& text)
{
    static const QRegularExpression entry(QStringLiteral("^(Ban|Except) #([0-9]{1,6}): (\\S+)/([0-9]{1,3})\\r?$"));
    QList<BanEntry> list;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch m = entry.match(line);
        if (!m.hasMatch())
            continue;
        BanEntry e;
        e.kind = m.captured(1) == QLatin1String("Ban") ? BanEntry::Ban : BanEntry::Exception;
        e.number = m.captured(2).toInt();
        e.address = m.captured(3);
        e.prefix = m.captured(4).toInt();
        if (e.number > 0 && !checked(e.target()).isEmpty())
            list.append(e);
    }
    return list;
}

QString CheckBanAddress(const QString& typed)
{
    return checked(typed.trimmed());
}

QString AddCommandName(BanEntry::Kind kind)
{
    return kind == BanEntry::Ban ? QStringLiteral("banaddr") : QStringLiteral("exceptaddr");
}

QString RemoveCommandName(BanEntry::Kind kind)
{
    return kind == BanEntry::Ban ? QStringLiteral("bandel") : QStringLiteral("exceptdel");
}

QString AddCommand(BanEntry::Kind kind, const QString& typed)
{
    const QString address = checked(typed.trimmed());
    return address.isEmpty() ? QString() : AddCommandName(kind) + QLatin1Char(' ') + address;
}

QString RemoveCommand(const BanEntry& entry)
{
    const QString target = checked(entry.target());
    return target.isEmpty() ? QString() : RemoveCommandName(entry.kind) + QLatin1Char(' ') + target;
}
