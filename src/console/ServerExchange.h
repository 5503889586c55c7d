#pragma once
#include "console/NoAnswerLine.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

class QHostInfo;
class UdpClient;

// The address a server's name is reached at: its first IPv4 address (servers mostly listen
// there), else its first address; null when it has none.
QHostAddress PreferredAddress(const QHostInfo& info);

// One request to one server and its whole answer: the windows beside the main window and
// the command line ask through it, never on a socket of their own.
//
// A request is an rcon command (with its password) or an out-of-band query without one
// (`getstatus TOKEN`). The host name is resolved first; the request then waits for its turn
// in the server's request budget (see RequestBudget), goes out on a socket connected to
// the server (so only that server's address and port are heard), and its answer is every
// datagram that comes until the server has been quiet for `quietMs`, or for twice the time
// its first datagram took, when that is longer (a slow line spaces the datagrams out too).
// The outcome is reported once, through finished(), from the event loop.
//
// A read (see IsReadOnly) with no answer is asked again, up to MaxTries in all, each try in
// its own turn of the server's budget and on a socket of its own; a read whose answer has a
// known shape (see AnswerShape) is put in order where the shape tells it, and one that came
// broken is asked once more, then given as incomplete. Any other command goes out once:
// without an answer it may or may not have run.
//
// The first rcon request to a server's address in this process is preceded by one
// out-of-band "getstatus" from another socket, whose version chooses the budget's rule
// (RequestScheduler::setRule presets it instead, for a stand-in server in a test).
struct ExchangeRequest {
    enum class Priority {
        Typed,      // a command the admin typed or chose: goes before automatic requests
        Automatic,  // a refresh, a poll, a timed query: gives way to typed commands
    };

    QString host;
    int port = 0;
    QString password;      // rcon; ignored for an out-of-band request
    QString command;       // the rcon command, or the out-of-band text ("getstatus 1234")
    bool outOfBand = false;
    Priority priority = Priority::Typed;
    int firstDatagramMs = 2000;  // no datagram within this long after sending: NoAnswer
    int quietMs = 1000;          // the answer is over after this long without a datagram
    // An automatic request that would wait longer than this for its turn is skipped
    // (outcome Skipped) rather than queued; 0 or less: never skipped.
    int skipIfWaitLongerMs = 0;
    // A server that never stops sending cannot hold the request (or memory) for ever: the
    // answer ends once this much has come, or this long after sending, with what was read.
    qint64 maxAnswerBytes = 4 * 1024 * 1024;
    int maxAnswerMs = 30000;
    // The local port to send from (0: any). When it is held here, any port is taken instead.
    int localPort = 0;
    // The socket stays open after finished(): datagrams that still come (a reply that goes
    // on after a pause) are given by datagramArrived() until the owner deletes the object,
    // which then does not delete itself.
    bool keepListening = false;
};

struct ExchangeOutcome {
    enum Kind {
        Answered,     // datagrams came (for rcon: not "Bad rconpassword.")
        BadPassword,  // the server said "Bad rconpassword."
        NoAnswer,     // nothing within firstDatagramMs
        Refused,      // the network refused (port unreachable)
        NotResolved,  // the host name did not resolve, or the address or port is not valid
        Skipped,      // an automatic request the budget would have held too long
        Cancelled,    // cancel() before the answer was over
    };
    Kind kind = NoAnswer;
    QList<QByteArray> datagrams;  // every datagram as received, headers included
    QString text;                 // their text joined: each decoded as the pane shows it
    QString errorText;            // the socket layer's or the resolver's words, when any
    QHostAddress address;         // the server's resolved address, when it was resolved
    qint64 roundTripMs = -1;      // from sending to the first datagram; -1 when none came
    bool cut = false;             // the answer went on past maxAnswerBytes or maxAnswerMs (incomplete too)
    // The answer's shape (a status table without its end, a cvar list without its count...)
    // shows a part missing, after it was asked again: shown for what it is, never as the
    // whole list.
    bool incomplete = false;
    int tries = 1;                // how many times the request went out (a read is asked again)

    // "answered", "bad password", "no answer", "refused", "not resolved", "skipped",
    // "cancelled": the words a window shows for it.
    static QString words(Kind kind);
};

// The warning an answer carries: cut at the exchange's limits, or incomplete; empty for a
// whole one.
QString AnswerWarning(const ExchangeRequest& request, const ExchangeOutcome& outcome, LineCase lineCase);

class ServerExchange : public QObject {
    Q_OBJECT
public:
    // A read (see IsReadOnly) that had no answer, or a broken one, goes out again, each time
    // in its turn of the server's budget, at most this many times in all.
    static constexpr int MaxTries = 3;

    // Starts the request; the object deletes itself after finished() has been emitted.
    // With a parent, it goes with the parent too (and reports nothing then).
    static ServerExchange* ask(const ExchangeRequest& request, QObject* parent = nullptr);
    // The same, not started yet: the caller connects to its signals and calls start(), which
    // goes as far as it can at once (a server given by its address, whose budget takes a
    // request now, gets it before start() returns).
    static ServerExchange* prepare(const ExchangeRequest& request, QObject* parent = nullptr);
    void start();

    const ExchangeRequest& request() const { return m_request; }
    // The answer is over (finished() is on its way, or was emitted).
    bool isOver() const { return m_state == State::Over; }
    // The local port the request's socket is bound to, 0 before it went out or once closed.
    int boundLocalPort() const;
    // An error as a read of the socket finds one (tests: forging ICMP needs root).
    void raiseSocketError(int number);
    // Ends the request: nothing more is sent (a request still waiting for its turn never
    // goes out) and finished() reports Cancelled.
    void cancel();

signals:
    // The server's address is known (its name resolved) and the request went out or holds
    // its place in the server's queue.
    void addressKnown();
    // The request waits for its turn in the server's budget this long (ms) from now.
    void waiting(qint64 ms);
    // The request went out on the wire (the first time; see askingAgain()).
    void sent();
    // A datagram of the answer, as received, as it comes, with its text as the pane shows it
    // (decoded once, here, for every listener).
    void datagramArrived(const QByteArray& datagram, const QString& text);
    // Once, at the end.
    void finished(const ExchangeOutcome& outcome);
    // A read is asked again (try 2 or 3): what came of the try before is not part of the
    // answer; the outcome holds the last try's datagrams.
    void askingAgain(int tries);
    // A socket error, or the server's name or address that could not be used, in the
    // socket layer's words: each as it comes, also after finished() while still listening.
    void error(int number, const QString& description);

public:
    ~ServerExchange() override;

private:
    enum class State { Starting, Resolving, Waiting, Sent, Cancelling, Over };
    explicit ServerExchange(const ExchangeRequest& request, QObject* parent);
    void lookedUp(const QHostInfo& info);
    void resolved(const QHostAddress& address);
    bool askForTurn();  // false when it was skipped, and so is over
    void go();
    void askAgain();
    void giveUp(int tries);  // no more tries: the broken answer kept, else no answer
    void arrived();
    void timedOut();
    void finish(ExchangeOutcome::Kind kind, const QString& errorText = QString());

    ExchangeRequest m_request;
    State m_state = State::Starting;
    QHostAddress m_address;
    int m_lookupId = -1;
    quint64 m_ticket = 0;  // the turn asked for and not yet had
    UdpClient* m_client = nullptr;
    QTimer m_timer;
    QElapsedTimer m_sentAt;
    ExchangeOutcome m_outcome;
    ExchangeOutcome m_broken;  // a read's answer that came broken, while it is asked once more
    qint64 m_answerBytes = 0;
};
