#pragma once
#include <QByteArray>
#include <QSqlDatabase>
#include <QString>

// The program's memory of the admin's servers: one SQLite file in the user's data folder
// ("memory.sqlite"), shared by the window and every command-line run of this user. It holds
// the players seen (names as sent and without colour codes, addresses, client numbers), their
// sessions on each server, the journal of commands sent on the admin's behalf, and the bans
// the program placed with their reason, admin and expiry. Never a password.
//
// The file is opened under the rules of the user's other files: a regular file reached
// without a link, readable by its owner only, in the user's own folder. A file that is not
// a database (or a damaged one) is renamed aside ("memory.sqlite.damaged") and a new one
// begun. Several processes write it at once (write-ahead log, a busy timeout, and unique
// keys that merge what two of them saw).
namespace Memory {

extern const QString FileName;  // "memory.sqlite"
constexpr int SchemaVersion = 1;
constexpr int DefaultKeepDays = 90;

struct Opening {
    bool usable = false;
    // One line for the admin when the file was set aside, or cannot be used (and why).
    QString notice;
};

// Opens the file for this process: creates it (0600) when missing, sets it aside when it
// cannot be read, brings its schema forward, and removes sightings older than `keepDays`
// (the journal and the bans are kept). Later calls give the first call's result until
// Forget().
Opening Open(int keepDays = DefaultKeepDays);
bool IsOpen();
QString Path();
// Closes the calling thread's connection (a thread does before it ends).
void Disconnect();
// Closes this process's connections and forgets the file (tests open it again).
void Forget();

// The calling thread's own connection to the file (each thread needs its own); not valid
// when the memory is not open.
QSqlDatabase Connection();

// Milliseconds since the epoch: the memory's clock (tests may move it forward).
qint64 Now();
void SetClockOffsetForTests(qint64 ms);

// How long sightings are kept (days): the setting, or 90.
int KeepDays();
// The name the journal gives the admin: the setting, or the login name.
QString AdminName();

// A name as searches compare it: colour codes removed, lower case.
QString FoldName(const QString& name);
// A server as the memory keys it: "host:port" with the host in lower case.
QString ServerKey(const QString& host, int port);
// An IP address as 16 bytes (IPv4 mapped into IPv6), which sort as addresses do; empty
// when the text is no address.
QByteArray AddressKey(const QString& ip);

// What a search text asks for: an address or a range of them, or a name fragment.
struct Search {
    enum Kind { Name, Addresses } kind = Name;
    QString fragment;      // Name: folded
    QByteArray low, high;  // Addresses: the range, inclusive
};
// "203.0.113.7", "2001:db8::1", "203.0.113.0/24", "2001:db8:1:2::/64", or an IPv4 prefix
// ending in a dot ("203.0.113."): addresses; anything else a name fragment.
Search ReadSearch(const QString& text);

// A ban's address as the memory and the server's listbans keep it: "203.0.113.7/32",
// "203.0.113.0/24"; empty when the text is no address.
QString BanTarget(const QString& typed);

}
