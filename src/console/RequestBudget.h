#pragma once
#include "console/BudgetFile.h"

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>

// Quake 3 engine servers drop requests beyond a limit without a word. Every request this
// program makes to a server takes its turn from that server's budget, so that none is lost:
// a request over the budget waits, in order, until the server would take it.

// How many requests a server takes, after its engine.
struct BudgetRule {
    int burst = 0;          // requests that may go at once (0: no such limit)
    qint64 refillMs = 0;    // one more request allowed every this long, up to the burst
    qint64 rconGapMs = 0;   // at least this long between two rcon requests (0: no gap)

    // The rule for an engine, from the "version" value of its out-of-band status answer;
    // an empty or unknown version gets both limits at once.
    static BudgetRule ForVersion(const QString& version);
    static BudgetRule Unknown() { return ForVersion(QString()); }
    bool operator==(const BudgetRule& o) const { return burst == o.burst && refillMs == o.refillMs && rconGapMs == o.rconGapMs; }
};

// One server's budget and the requests waiting for it, on a clock given by the caller (ms).
// Typed requests go before automatic ones; within each, first come first served. Only the
// head of the queue may go.
class RequestBudget {
public:
    enum class Kind { Rcon, OutOfBand };
    enum class Priority { First, Typed, Automatic };  // First: the budget's own engine query

    explicit RequestBudget(const BudgetRule& rule = BudgetRule::Unknown());
    void setRule(const BudgetRule& rule) { m_rule = rule; }
    const BudgetRule& rule() const { return m_rule; }

    // How long a request made now would wait for its turn, the queue ahead of it included.
    qint64 waitFor(Kind kind, Priority priority, qint64 now) const;
    // Queues a request. An automatic request that would wait longer than skipIfLongerMs
    // (when above 0) is not queued: false.
    bool enqueue(quint64 id, Kind kind, Priority priority, qint64 skipIfLongerMs, qint64 now);
    void remove(quint64 id);
    // The request whose turn it is now, taken off the queue and spent from the budget;
    // 0 when none may go now.
    quint64 take(qint64 now);
    // How long until the head of the queue may go; -1 when the queue is empty.
    qint64 nextInMs(qint64 now) const;
    bool idle() const { return m_queue.empty(); }
    // Spends a request that went out without waiting for a turn here.
    void spend(Kind kind, qint64 now);

    using State = BudgetState;
    const State& state() const { return m_state; }
    // Takes the state another copy of this budget reached (the program's other processes
    // spend the same allowance). One that cannot be (a time after `now`, a credit beyond the
    // burst) is refused: false, and nothing changes.
    bool setState(const State& state, qint64 now);

private:
    struct Waiting {
        quint64 id;
        Kind kind;
        Priority priority;
    };
    qint64 earliest(const State& s, Kind kind, qint64 now) const;
    void spend(State& s, Kind kind, qint64 when) const;
    std::deque<Waiting>::iterator placeFor(Priority priority);

    BudgetRule m_rule;
    State m_state;
    std::deque<Waiting> m_queue;
};

// The process-wide keeper of every server's budget: hands out turns in order, from the
// event loop. A server is known by its address alone (the servers count requests per
// address, whatever the port). The first time a server is used, its engine is asked once
// (out of band, from its own allowance) to choose its rule; until it answers, the rule for
// an unknown engine holds.
class RequestScheduler : public QObject {
    Q_OBJECT
public:
    using Kind = RequestBudget::Kind;
    using Priority = RequestBudget::Priority;

    static RequestScheduler& instance();

    // Asks for a turn for a request to address:port; `go` runs from the event loop when the
    // turn comes (the budget is spent then). Returns the ticket, or 0 when an automatic
    // request would wait longer than skipIfLongerMs (then `go` never runs). `waitMs`, when
    // given, receives how long the request is expected to wait (0: it goes at once).
    quint64 requestTurn(const QHostAddress& address, int port, Kind kind, Priority priority,
        qint64 skipIfLongerMs, std::function<void()> go, qint64* waitMs = nullptr);
    // A turn at once, when nothing waits for that address and its budget allows a request
    // now (then it is spent); false otherwise, and requestTurn() is the way.
    bool takeNow(const QHostAddress& address, int port, Kind kind, Priority priority);
    // Withdraws a ticket that has not had its turn yet; its `go` never runs.
    void cancel(quint64 ticket);
    // How long a request made now to that address would wait.
    qint64 waitFor(const QHostAddress& address, Kind kind, Priority priority);
    // The rule in force for an address (Unknown until its engine answered).
    BudgetRule ruleFor(const QHostAddress& address) const;
    // An out-of-band status answer from that address: its engine's rule, when it names one.
    void learnEngine(const QHostAddress& address, const QByteArray& statusDatagram);
    // The rule for an address, known without asking its engine (which is then never asked).
    // Tests against a stand-in that does not answer status queries set it first.
    void setRule(const QHostAddress& address, const BudgetRule& rule);
    // Every budget and waiting request forgotten (tests that stand in for several servers).
    void resetForTests();

    // Sends the engine query to address:port when its turn has come (the budget is spent
    // then) and hands each datagram of its answer to learnEngine(). The exchange unit, which
    // owns every socket, installs it before it asks for a turn; until then no engine is asked.
    using EngineQuery = std::function<void(const QHostAddress& address, int port)>;
    void setEngineQuery(EngineQuery query) { m_engineQuery = std::move(query); }
    bool hasEngineQuery() const { return bool(m_engineQuery); }

private:
    struct Server;
    RequestScheduler();
    Server& server(const QHostAddress& address);
    void probe(const QHostAddress& address, int port);
    void run();
    // Runs `turn` on a server's budget as every run of the program on this machine has spent
    // it: the shared state is read in first, and what the turn spent is written back.
    template <typename Turn>
    auto shared(const QString& key, Server& s, Turn turn);
    qint64 now() const;

    QHash<QString, std::shared_ptr<Server>> m_servers;
    QHash<quint64, QString> m_ticketServer;
    quint64 m_nextTicket = 1;
    QTimer m_timer;
    EngineQuery m_engineQuery;
};
