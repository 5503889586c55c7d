#pragma once
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// What the memory (see MemoryDatabase.h) answers, read through the calling thread's own
// connection. Names and every other text from servers come back exactly as they were sent.
namespace Memory {

// One player of a search: a name, with what is known of it.
struct PlayerFound {
    qint64 nameId = 0;
    QString name;           // as sent, colour codes kept
    QStringList addresses;  // seen with this name, latest first
    QStringList servers;    // where it was seen
    qint64 firstSeen = 0, lastSeen = 0;
    int sessions = 0;
    qint64 playedMs = 0;    // the sessions' lengths added up
};
// The players whose name holds the fragment (colour codes and letter case ignored), or who
// were seen at the address or in the range (see ReadSearch), latest seen first; `limit` of them.
QList<PlayerFound> Find(const QString& text, int limit = 200);

struct Alias {
    QString name;
    QString address;
    qint64 firstSeen = 0, lastSeen = 0;
};
// Every name seen at the addresses of a name, and every address seen with those names, the
// name itself included, latest first.
QList<Alias> AliasesOf(qint64 nameId);

struct Session {
    QString server;
    QString name;
    QString address;   // "" when only the name was seen
    int client = -1;
    qint64 firstSeen = 0, lastSeen = 0;
    bool open = false;
};
// A name's sessions, server by server, latest first within each.
QList<Session> SessionsOf(qint64 nameId);
// The sessions on a server (Memory::ServerKey) that overlap the time from..to, earliest first.
QList<Session> SessionsOn(const QString& server, qint64 from, qint64 to);
// The servers sessions were recorded on.
QStringList ServersSeen();

struct JournalEntry {
    qint64 time = 0;
    QString server, command, admin, outcome, targetName, targetAddress, reason;
    QString desktop;  // the machine the entry came from ("" in entries older than the column)
};
// The journal since a time, earliest first.
QList<JournalEntry> Journal(qint64 since);
// The entries about a name or an address the name was seen at, latest first.
QList<JournalEntry> JournalAbout(qint64 nameId);

struct Ban {
    qint64 id = 0;
    QString server, target, reason, admin;
    qint64 created = 0;
    qint64 expires = 0;  // 0: permanent
    qint64 lifted = 0;   // 0: standing
    QString liftedBy, liftedHow;  // how: "expired", "removed", "lifted elsewhere"
};
// The bans of a server (Memory::ServerKey), standing ones first.
QList<Ban> BansOn(const QString& server);
// Minutes after which a claim on a due ban whose lifting was not marked done lapses, so that
// another program can finish it.
constexpr int ClaimMinutes = 5;
// The standing bans whose time has come by `now`, on every server, but for those another
// program claimed in the last ClaimMinutes.
QList<Ban> DueBans(qint64 now, const QString& claimant = QString());
// Claims a due ban for `claimant` (a program: see BanKeeper); false when another program has
// it (or it was lifted meanwhile), or the memory cannot be reached.
bool ClaimBan(qint64 banId, const QString& claimant);
// The earliest expiry of a standing ban; 0 when none is timed.
qint64 NextExpiry();

// A time as the Lookup window and --lookup show it, in local time: "2026-12-07 21:03:04".
QString TimeText(qint64 ms);
// Time played: "12:05:09" (hours, minutes, seconds).
QString PlayedText(qint64 ms);

}
