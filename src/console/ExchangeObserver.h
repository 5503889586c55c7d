#pragma once
#include <QString>

#include <functional>

struct ExchangeRequest;
struct ExchangeOutcome;

// Every exchange of the process that is over is reported here, whoever asked it (a window,
// the Servers window's poller, the command line): the request as asked (its password too,
// which an observer never keeps), the outcome, and whether the request went out on the wire
// at all (a request cancelled or skipped before its turn never did). Called on the thread of
// the exchange, just before finished() is emitted. One observer for the process (the
// program's memory); an empty function removes it.
using ExchangeObserver = std::function<void(const ExchangeRequest& request, const ExchangeOutcome& outcome, bool wentOut)>;
void SetExchangeObserver(ExchangeObserver observer);
void ReportExchange(const ExchangeRequest& request, const ExchangeOutcome& outcome, bool wentOut);

// What a window knows of a command it is about to send and the journal should keep with it:
// whom it concerns, why, and for a ban how long it stands. A window notes it just before the
// command goes; the observer takes it when that command's exchange with that server is over.
struct JournalNote {
    QString name;        // the player's name as the server sent it
    QString address;     // the player's IP address, or the ban's address and prefix
    QString reason;
    qint64 expiresAt = 0;  // a ban: when it is to be lifted (ms since the epoch); 0 never
    bool expiry = false;   // the program lifts a ban whose time has come
};
void ExpectNote(const QString& host, int port, const QString& command, const JournalNote& note);
// The note for that command to that server, taken once; an empty note when there is none, or
// when it was noted more than two minutes ago.
JournalNote TakeNote(const QString& host, int port, const QString& command);
