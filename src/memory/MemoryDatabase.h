#pragma once
#include "memory/DatabaseTarget.h"

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
//
// A team of admins may keep it instead on a PostgreSQL server they share (see
// DatabaseTarget): the same tables, made or brought forward there by whichever program comes
// first, and everything this program records goes first into an outbox in the local file, to
// be sent in order whenever the server answers.
namespace Memory {

extern const QString FileName;  // "memory.sqlite"
// 2: the journal's desktop and entry key, the bans' claims, the local file's outbox.
constexpr int SchemaVersion = 2;
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
// Opens the memory the target names: the local file as above when !target.team; else the
// team's PostgreSQL database, with `password` when not empty (else libpq's own ways), and the
// local file beside it for the outbox. A server that cannot be reached now is no failure:
// recording goes on into the outbox, and the notice says so. A refused login, a database of
// a newer schema, or a missing driver: not usable, the notice says why, nothing is written.
Opening Open(const DatabaseTarget& target, const QString& password, int keepDays = DefaultKeepDays);
bool IsOpen();
QString Path();
// The target the memory was opened on (team false for the local file).
DatabaseTarget Target();
bool IsTeam();
// "USER@HOST:PORT/DATABASE": the team database as the outbox and the lines name it.
QString TeamName(const DatabaseTarget& target);

// What the program knows of the team database's reach, for the window's and the Lookup
// window's lines.
struct TeamState {
    bool team = false;
    bool reachable = true;
    qint64 unreachableSince = 0;  // ms since the epoch; 0 while reachable
    int waiting = 0;              // records in the outbox, not yet sent
    bool operator==(const TeamState& o) const
    {
        return team == o.team && reachable == o.reachable && unreachableSince == o.unreachableSince && waiting == o.waiting;
    }
};
// "team database unreachable since 21:04; 312 records waiting"; empty when all is sent.
QString TeamStateLine(const TeamState& state);
// The line to tell when the state changed so: the server went away (TeamStateLine), or it
// answers again; empty otherwise.
QString TeamStateNote(const TeamState& before, const TeamState& now);
// The schema made or brought forward on a connection, one program at a time, and sightings
// older than `keepDays` removed (on a team database, never fewer than DefaultKeepDays); false when it is no database of ours, or one of a newer
// schema (`why` says so, and nothing was written).
bool Prepare(QSqlDatabase& db, int keepDays, QString* why);
// Closes the calling thread's connection (a thread does before it ends).
void Disconnect();
// Closes this process's connections and forgets the file (tests open it again).
void Forget();

// The calling thread's own connection to the memory (each thread needs its own): the team
// database when the memory is a team's, else the file; not valid when the memory is not open.
// A team connection that was lost is opened again only while the writer finds the server
// reachable, so that no window waits on a server that is away.
QSqlDatabase Connection();
// The calling thread's own connection to the local file (the outbox of a team's memory).
QSqlDatabase LocalConnection();
// Whether the team database answers, as the writer last found it (always true for a file).
bool Reachable();
void SetReachable(bool reachable);
// A team connection lost: the next Connection() of this thread opens it again.
void Drop(QSqlDatabase& db);

// Milliseconds since the epoch: the memory's clock (tests may move it forward).
qint64 Now();
void SetClockOffsetForTests(qint64 ms);

// How long sightings are kept (days): the setting, or 90.
int KeepDays();
// The name the journal gives the admin: the setting, or the login name.
QString AdminName();
// The desktop the journal says an entry came from: this machine's host name.
QString DesktopName();

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
