#pragma once
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSqlDatabase>
#include <QString>

#include "memory/MemoryDatabase.h"

#include <functional>

// Records what the process's exchanges with servers show into the memory (see
// MemoryDatabase.h), from the one report every exchange makes when it is over:
//  - an answered rcon "status": a sighting of every player of its table (client number,
//    name, IP address), connecting and dropped ones included;
//  - an answered out-of-band "getstatus": a sighting of every player by name;
//  - every command sent on the admin's behalf (not the automatic reads): a journal entry
//    with the time, the server, the command with its password values masked as in the
//    log, the admin, the outcome, and what a window noted of it (player, reason); an
//    answered "banaddr" also keeps the ban (with its expiry), "bandel" marks it lifted.
// Bots are never recorded. A sighting extends the player's session on that server; a
// player missing from a later answer of the same server, or not seen for a while, ends it.
//
// The caller's thread only hands the report over: a writer thread of its own, with its
// own connection, writes everything that came meanwhile in one transaction. A memory that
// cannot be written is said once, and again only after a write has worked since.
// A team database's memory: everything goes first into the local file's outbox and is sent
// from there in order, at once while the server answers, else after a pause that grows to
// ten seconds; a record is taken out of the outbox once the team database has it (a journal
// entry sent twice, when an answer was lost, is kept once).
// Tells the windows that the memory changed: emitted on the main thread after each write;
// and what changed in the team database's reach or the outbox (see Memory::TeamStateLine).
class RecorderSignals : public QObject {
    Q_OBJECT
signals:
    void written();
    void teamStateChanged(const Memory::TeamState& state);
    // A line for the admin when the team database went away or answers again.
    void teamNote(const QString& line);
};

namespace Recorder {

RecorderSignals* Signals();

// Minutes without a sighting after which a player's next sighting begins a new session.
constexpr int SessionGapMinutes = 20;

// Opens the memory (see Memory::Open), tells its notice, and records every exchange from
// now on. `tell` gets each line for the admin, on the caller's thread.
void Start(std::function<void(const QString& line)> tell);
// Writes what is waiting and stops recording.
void Stop();
bool IsRecording();
// Returns once everything handed over so far is written.
void Flush();

// One exchange that is over, as the writer gets it.
struct Observation {
    qint64 time = 0;
    QString server;     // Memory::ServerKey
    QString command;    // as sent (an out-of-band request's text for getstatus)
    bool outOfBand = false;
    bool automatic = false;
    bool wentOut = false;
    int outcome = 0;    // ExchangeOutcome::Kind
    QList<QByteArray> datagrams;
    QString text;       // the answer's text as the pane shows it
    QString admin;
    QString desktop;  // the host name of the machine the program ran on
    QString origin;   // the entry's own key, made when it was observed
    // What a window noted of the command.
    QString targetName, targetAddress, reason;
    qint64 expiresAt = 0;
    bool expiry = false;
};
void Observe(const Observation& observation);

// A ban (Memory::Ban::id) that the server no longer lists: lifted by someone else.
void MarkLiftedElsewhere(qint64 banId);

// The team database's reach and the outbox, as the writer last found them.
Memory::TeamState TeamStatus();
// The outbox is tried now, not after the pause.
void SendNow();
// A window's title that stays true while the team database is away or records wait (set
// again on each teamStateChanged): `title`, then " - " and Memory::TeamStateLine ("team
// database unreachable since 21:04; 312 records waiting") with the count as the writer now
// finds it, since a change told before the recording stopped may come after; `title` alone
// once all is sent.
QString TitleWithTeamState(const QString& title);

}
