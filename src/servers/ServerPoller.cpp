#include "servers/ServerPoller.h"

#include "settings/Shutdown.h"

#include <QRandomGenerator>
#include <QTimer>

size_t qHash(const PolledServer& server, size_t seed)
{
    return qHashMulti(seed, server.host, server.port);
}

qint64 PollDueMs(int round, int index, int count, int periodMs)
{
    if (count <= 0)
        return 0;
    const qint64 spread = static_cast<qint64>(index) * periodMs / count;
    if (round == 0)
        return qMin<qint64>(spread, static_cast<qint64>(index) * FirstRoundStepMs);
    return static_cast<qint64>(round) * periodMs + spread;
}

namespace {
// Letters and digits from the system's random source: nobody on the path can guess the next.
QString newToken()
{
    return QString::number(QRandomGenerator::system()->generate64(), 36);
}
}

ServerPoller::ServerPoller(QObject* parent)
    : QObject(parent)
    , m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &ServerPoller::pollDue);
}

ServerPoller::~ServerPoller()
{
    stop();
}

void ServerPoller::setServers(const QList<PolledServer>& servers)
{
    QList<PolledServer> unique;
    for (const PolledServer& s : servers) {
        if (!unique.contains(s))
            unique.append(s);
    }
    const QList<PolledServer> before = m_servers;
    m_servers = unique;
    for (auto it = m_states.begin(); it != m_states.end();)
        it = m_servers.contains(it.key()) ? std::next(it) : m_states.erase(it);
    for (auto it = m_inFlight.begin(); it != m_inFlight.end();) {
        if (m_servers.contains(it.key())) {
            ++it;
            continue;
        }
        ServerExchange* exchange = it->exchange;
        it = m_inFlight.erase(it);
        exchange->disconnect(this);
        exchange->cancel();
    }
    if (!m_running || ShuttingDown())
        return;
    // The servers new to the set are asked at once; the others keep their pace.
    for (const PolledServer& s : m_servers) {
        if (!before.contains(s))
            poll(s);
    }
    resumeIn(m_servers.isEmpty() ? 0 : m_periodMs / m_servers.size());
}

void ServerPoller::setPeriodMs(int periodMs)
{
    m_periodMs = qMax(1000, periodMs);
    if (m_running)
        resumeIn(m_servers.isEmpty() ? 0 : m_periodMs / m_servers.size());
}

void ServerPoller::start()
{
    if (m_running || ShuttingDown())
        return;
    m_running = true;
    m_round = 0;
    m_index = 0;
    m_clock.start();
    m_shiftMs = 0;
    pollDue();
}

void ServerPoller::stop()
{
    m_running = false;
    m_timer->stop();
    const QHash<PolledServer, Flight> flights = m_inFlight;
    m_inFlight.clear();
    for (const Flight& f : flights) {
        f.exchange->disconnect(this);
        f.exchange->cancel();
    }
}

void ServerPoller::resumeIn(qint64 ms)
{
    const int count = static_cast<int>(m_servers.size());
    if (m_index >= count) {
        m_index = 0;
        ++m_round;
    }
    // The schedule moves so that the server whose turn is next is asked in `ms`.
    m_shiftMs = PollDueMs(m_round, m_index, count, m_periodMs) - ms - m_clock.elapsed();
    scheduleNext();
}

void ServerPoller::scheduleNext()
{
    if (!m_running || m_servers.isEmpty())
        return;
    const qint64 due = PollDueMs(m_round, m_index, static_cast<int>(m_servers.size()), m_periodMs);
    m_timer->start(static_cast<int>(qBound<qint64>(0, due - now(), qint64(m_periodMs))));
}

void ServerPoller::pollDue()
{
    if (!m_running || ShuttingDown()) {
        stop();
        return;
    }
    const int count = static_cast<int>(m_servers.size());
    // At most one round at a time: after a long stall (a suspended machine) the polls missed
    // are not made up all at once.
    for (int n = 0; n < count && PollDueMs(m_round, m_index, count, m_periodMs) <= now(); ++n) {
        poll(m_servers.at(m_index));
        if (++m_index == count) {
            m_index = 0;
            ++m_round;
        }
    }
    if (count > 0 && PollDueMs(m_round, m_index, count, m_periodMs) + m_periodMs < now())
        resumeIn(0);  // still a round behind: the schedule goes on from here
    else
        scheduleNext();
}

void ServerPoller::poll(const PolledServer& server)
{
    if (m_inFlight.contains(server))
        return;  // the previous poll is not over yet
    ExchangeRequest request;
    request.host = server.host;
    request.port = server.port;
    Flight flight;
    flight.token = newToken();
    request.command = QStringLiteral("getstatus ") + flight.token;
    request.outOfBand = true;
    request.priority = ExchangeRequest::Priority::Automatic;
    request.firstDatagramMs = AnswerWithinMs;
    // Datagrams without our token do not end the wait for the one with it.
    request.quietMs = AnswerWithinMs;
    request.skipIfWaitLongerMs = m_periodMs;
    flight.exchange = ServerExchange::ask(request, this);
    m_inFlight.insert(server, flight);
    ServerExchange* exchange = flight.exchange;
    connect(exchange, &ServerExchange::sent, this, [this, server] {
        auto it = m_inFlight.find(server);
        if (it != m_inFlight.end()) {
            it->sent = true;
            it->sentAt.start();
        }
    });
    connect(exchange, &ServerExchange::datagramArrived, this,
        [this, server](const QByteArray& datagram) { onDatagram(server, datagram); });
    connect(exchange, &ServerExchange::finished, this,
        [this, server](const ExchangeOutcome& outcome) { onFinished(server, outcome); });
}

void ServerPoller::onDatagram(const PolledServer& server, const QByteArray& datagram)
{
    auto it = m_inFlight.find(server);
    if (it == m_inFlight.end())
        return;
    StatusResponse status = ReadStatusResponse(datagram);
    if (!status.valid || status.challenge() != it->token)
        return;  // not an answer to this poll
    const Flight flight = *it;
    m_inFlight.erase(it);
    PollState& state = m_states[server];
    state.answering = true;
    state.status = status;
    state.roundTripMs = flight.sent ? flight.sentAt.elapsed() : -1;
    state.lastAnswer = QDateTime::currentDateTime();
    state.lastOutcome = ExchangeOutcome::Answered;
    ++state.polls;
    // The answer is in: the exchange need not wait for more.
    flight.exchange->disconnect(this);
    flight.exchange->cancel();
    emit updated(server, state);
}

void ServerPoller::onFinished(const PolledServer& server, const ExchangeOutcome& outcome)
{
    if (!m_inFlight.remove(server))
        return;
    if (outcome.kind == ExchangeOutcome::Skipped || outcome.kind == ExchangeOutcome::Cancelled)
        return;  // the server was not asked: nothing learnt
    PollState& state = m_states[server];
    state.answering = false;
    // Datagrams came, but none with our token: as good as none.
    state.lastOutcome = outcome.kind == ExchangeOutcome::Answered || outcome.kind == ExchangeOutcome::BadPassword
        ? ExchangeOutcome::NoAnswer : outcome.kind;
    ++state.polls;
    emit updated(server, state);
}
