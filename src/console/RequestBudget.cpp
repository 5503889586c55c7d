#include "console/RequestBudget.h"

#include "console/BudgetFile.h"
#include "settings/Shutdown.h"
#include "console/StatusResponse.h"

#include <QCoreApplication>
#include <QPointer>

#include <algorithm>

namespace {
const BudgetRule IoQuake3Line{8, 1100, 0};
const BudgetRule Line132{0, 0, 550};

// The engines whose rule is known, by the start of their "version" value.
//
// ioquake3 (and its descendants: OpenArena answers "ioq3 1.36", Urban Terror "ioq3 1.35 urt
// ..."): code/server/sv_main.c counts rcon, getstatus, getinfo and getchallenge against one
// leaky bucket per source address, SVC_RateLimitAddress(from, 10, 1000): a burst of 10, then
// one a second, and drops the rest unanswered. Here: a burst of 8, then one every 1.1 s.
//
// Quake III Arena 1.32 and the engines built on its code (Enemy Territory 2.60, Call of Duty 1
// and 2): SVC_RemoteCommand in code/server/sv_main.c drops any rcon that comes within 500 ms
// of the last one it took, from anyone. Here: 550 ms between two rcon requests.
struct KnownEngine {
    const char* versionPrefix;
    const BudgetRule& rule;
};
const KnownEngine KnownEngines[] = {
    {"ioq3", IoQuake3Line},
    {"Q3 1.32", Line132},
    {"ET 2.60", Line132},
    {"Call of Duty", Line132},
};
}

BudgetRule BudgetRule::ForVersion(const QString& version)
{
    for (const KnownEngine& e : KnownEngines) {
        if (version.startsWith(QLatin1String(e.versionPrefix)))
            return e.rule;
    }
    return {IoQuake3Line.burst, IoQuake3Line.refillMs, Line132.rconGapMs};  // both at once
}

RequestBudget::RequestBudget(const BudgetRule& rule)
    : m_rule(rule)
{
}

qint64 RequestBudget::earliest(const State& s, Kind kind, qint64 now) const
{
    qint64 t = now;
    if (m_rule.burst > 0 && !s.full) {
        const qint64 credit = std::min(m_rule.burst * m_rule.refillMs, s.credit + (now - s.at));
        if (credit < m_rule.refillMs)
            t = now + (m_rule.refillMs - credit);
    }
    if (kind == Kind::Rcon && m_rule.rconGapMs > 0 && s.lastRcon >= 0)
        t = std::max(t, s.lastRcon + m_rule.rconGapMs);
    return t;
}

void RequestBudget::spend(State& s, Kind kind, qint64 when) const
{
    const qint64 cap = m_rule.burst * m_rule.refillMs;
    const qint64 credit = s.full ? cap : std::min(cap, s.credit + (when - s.at));
    s.full = false;
    s.credit = credit - m_rule.refillMs;
    s.at = when;
    if (kind == Kind::Rcon)
        s.lastRcon = when;
}

void RequestBudget::spend(Kind kind, qint64 now)
{
    spend(m_state, kind, now);
}

bool RequestBudget::setState(const State& state, qint64 now)
{
    const qint64 cap = m_rule.burst * m_rule.refillMs;
    if (state.at > now || state.lastRcon > now || state.lastRcon < -1 || state.credit > cap || state.credit < -cap)
        return false;
    m_state = state;
    return true;
}

std::deque<RequestBudget::Waiting>::iterator RequestBudget::placeFor(Priority priority)
{
    return std::find_if(m_queue.begin(), m_queue.end(), [priority](const Waiting& w) { return w.priority > priority; });
}

qint64 RequestBudget::waitFor(Kind kind, Priority priority, qint64 now) const
{
    State s = m_state;
    qint64 t = now;
    for (const Waiting& w : m_queue) {
        if (w.priority > priority)
            break;
        t = earliest(s, w.kind, t);
        spend(s, w.kind, t);
    }
    return earliest(s, kind, t) - now;
}

bool RequestBudget::enqueue(quint64 id, Kind kind, Priority priority, qint64 skipIfLongerMs, qint64 now)
{
    if (priority == Priority::Automatic && skipIfLongerMs > 0 && waitFor(kind, priority, now) > skipIfLongerMs)
        return false;
    m_queue.insert(placeFor(priority), Waiting{id, kind, priority});
    return true;
}

void RequestBudget::remove(quint64 id)
{
    m_queue.erase(std::remove_if(m_queue.begin(), m_queue.end(), [id](const Waiting& w) { return w.id == id; }), m_queue.end());
}

quint64 RequestBudget::take(qint64 now)
{
    if (m_queue.empty() || earliest(m_state, m_queue.front().kind, now) > now)
        return 0;
    const Waiting head = m_queue.front();
    m_queue.pop_front();
    spend(m_state, head.kind, now);
    return head.id;
}

qint64 RequestBudget::nextInMs(qint64 now) const
{
    if (m_queue.empty())
        return -1;
    return std::max<qint64>(0, earliest(m_state, m_queue.front().kind, now) - now);
}

// ---------------------------------------------------------------------------------------

struct RequestScheduler::Server {
    RequestBudget budget;
    QHash<quint64, std::function<void()>> turns;
    bool engineAsked = false;
};

RequestScheduler& RequestScheduler::instance()
{
    static QPointer<RequestScheduler> scheduler;
    if (!scheduler) {
        scheduler = new RequestScheduler;
        scheduler->setParent(QCoreApplication::instance());
    }
    return *scheduler;
}

RequestScheduler::RequestScheduler()
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &RequestScheduler::run);
}

qint64 RequestScheduler::now() const
{
    return BudgetFile::now();  // the same clock in every process, as the shared states need
}

static QString keyOf(const QHostAddress& address)
{
    // An IPv4 address written as IPv6 (::ffff:a.b.c.d) is the same server.
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}

RequestScheduler::Server& RequestScheduler::server(const QHostAddress& address)
{
    std::shared_ptr<Server>& s = m_servers[keyOf(address)];
    if (!s)
        s = std::make_shared<Server>();
    return *s;
}

template <typename Turn>
auto RequestScheduler::shared(const QString& key, Server& s, Turn turn)
{
    // What this process spent is the budget's own state; what every run spent is the file's.
    // A server the file knows nothing of keeps this process's state.
    BudgetFile file;
    if (const RequestBudget::State* state = file.find(key))
        s.budget.setState(*state, now());
    const RequestBudget::State before = s.budget.state();
    auto result = turn();
    if (!(s.budget.state() == before) || (!file.find(key) && !before.full))
        file.put(key, s.budget.state());
    return result;
}

quint64 RequestScheduler::requestTurn(const QHostAddress& address, int port, Kind kind, Priority priority,
    qint64 skipIfLongerMs, std::function<void()> go, qint64* waitMs)
{
    Server& s = server(address);
    if (!s.engineAsked && kind == Kind::Rcon)
        probe(address, port);
    const quint64 ticket = m_nextTicket++;
    qint64 wait = 0;
    const bool queued = shared(keyOf(address), s, [&] {
        wait = s.budget.waitFor(kind, priority, now());
        return s.budget.enqueue(ticket, kind, priority, skipIfLongerMs, now());
    });
    if (waitMs)
        *waitMs = wait;
    if (!queued)
        return 0;
    s.turns.insert(ticket, std::move(go));
    m_ticketServer.insert(ticket, keyOf(address));
    m_timer.start(0);
    return ticket;
}

bool RequestScheduler::takeNow(const QHostAddress& address, int port, Kind kind, Priority priority)
{
    Server& s = server(address);
    if (!s.engineAsked && kind == Kind::Rcon)
        probe(address, port);
    if (ShuttingDown() || !s.budget.idle())
        return false;
    return shared(keyOf(address), s, [&] {
        if (s.budget.waitFor(kind, priority, now()) > 0)
            return false;
        s.budget.spend(kind, now());
        return true;
    });
}

void RequestScheduler::cancel(quint64 ticket)
{
    const QString key = m_ticketServer.take(ticket);
    if (const auto s = m_servers.value(key)) {
        s->budget.remove(ticket);
        s->turns.remove(ticket);
    }
}

qint64 RequestScheduler::waitFor(const QHostAddress& address, Kind kind, Priority priority)
{
    Server& s = server(address);
    return shared(keyOf(address), s, [&] { return s.budget.waitFor(kind, priority, now()); });
}

BudgetRule RequestScheduler::ruleFor(const QHostAddress& address) const
{
    const auto s = m_servers.value(keyOf(address));
    return s ? s->budget.rule() : BudgetRule::Unknown();
}

void RequestScheduler::setRule(const QHostAddress& address, const BudgetRule& rule)
{
    Server& s = server(address);
    s.engineAsked = true;
    s.budget.setRule(rule);
    m_timer.start(0);  // the queue may move sooner now
}

void RequestScheduler::learnEngine(const QHostAddress& address, const QByteArray& statusDatagram)
{
    const QString version = ReadStatusResponse(statusDatagram).version();
    if (!version.isEmpty())
        setRule(address, BudgetRule::ForVersion(version));
}

void RequestScheduler::probe(const QHostAddress& address, int port)
{
    if (!m_engineQuery)
        return;  // asked when the exchange unit makes its first request there
    server(address).engineAsked = true;
    if (port < 1 || port > 65535)
        return;
    // The query goes first, so that the rule is known before most of the queue moves.
    const quint64 ticket = m_nextTicket++;
    server(address).budget.enqueue(ticket, Kind::OutOfBand, Priority::First, 0, now());
    server(address).turns.insert(ticket, [this, address, port] { m_engineQuery(address, port); });
    m_ticketServer.insert(ticket, keyOf(address));
}

void RequestScheduler::run()
{
    if (ShuttingDown())
        return;  // nothing goes out once close has begun
    // One turn at a time: a turn's own code may ask for or withdraw others.
    for (;;) {
        std::function<void()> go;
        quint64 ticket = 0;
        for (auto it = m_servers.cbegin(); it != m_servers.cend() && !ticket; ++it) {
            Server& s = *it.value();
            if (s.budget.idle())
                continue;
            if ((ticket = shared(it.key(), s, [&] { return s.budget.take(now()); })))
                go = s.turns.take(ticket);
        }
        if (!ticket)
            break;
        m_ticketServer.remove(ticket);
        if (go)
            go();
    }
    qint64 next = -1;
    for (const auto& s : std::as_const(m_servers)) {
        const qint64 in = s->budget.nextInMs(now());
        if (in >= 0 && (next < 0 || in < next))
            next = in;
    }
    if (next >= 0)
        m_timer.start(static_cast<int>(next));
    else
        m_timer.stop();
}

void RequestScheduler::resetForTests()
{
    m_servers.clear();
    m_ticketServer.clear();
    m_timer.stop();
}
