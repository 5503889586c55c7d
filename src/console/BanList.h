#pragma once
#include <QList>
#include <QString>

// One line of the server's answer to "listbans": `Ban #1: 203.0.113.0/24` or
// `Except #1: 203.0.113.9/32`. Bans and exceptions are numbered apart, from 1, and the numbers
// shift when one is removed: an entry is known by its kind and its address.
struct BanEntry {
    enum Kind { Ban, Exception };
    Kind kind = Ban;
    int number = 0;
    QString address;  // IPv4 or IPv6, as the server wrote it
    int prefix = 0;   // the length of the network part: 32 (IPv4) or 128 (IPv6) for one address

    QString target() const;  // "203.0.113.0/24"
    bool sameAs(const BanEntry& other) const;  // the same kind and address, whatever its number
};

// Every ban and exception of the answer (every datagram's text joined), in the answer's order.
// An empty answer is an empty list; lines of another form are left out, and so are entries
// whose address or prefix is not a valid one.
QList<BanEntry> ReadBanList(const QString& text);

// An address as the admin typed it for a ban or an exception: an IPv4 or IPv6 address, perhaps
// with "/prefix" (0 to 32, 0 to 128). Spaces around it are ignored. The address as the command
// carries it ("203.0.113.0/24", "2001:db8::/32", "198.51.100.7"), or empty when it is none.
QString CheckBanAddress(const QString& typed);

// "banaddr A/P" or "exceptaddr A/P" for an address CheckBanAddress accepts; empty for anything else.
QString AddCommand(BanEntry::Kind kind, const QString& address);
// "bandel A/P" or "exceptdel A/P": the entry goes by its address, never by a number that may
// have shifted. Empty when the entry's address is not a valid one.
QString RemoveCommand(const BanEntry& entry);
// The command an entry of that kind needs, for the server's command list.
QString AddCommandName(BanEntry::Kind kind);
QString RemoveCommandName(BanEntry::Kind kind);
