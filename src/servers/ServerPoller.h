#pragma once
#include "console/ServerExchange.h"
#include "console/StatusResponse.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

class QTimer;

// A server as the poller knows it: its address as written (a host name or an IP address)
// and its port.
struct PolledServer {
    QString host;
    int port = 0;
    bool operator==(const PolledServer& other) const { return port == other.port && host == other.host; }
};
size_t qHash(const PolledServer& server, size_t seed = 0);

// What the poller last learnt about one server.
struct PollState {
    // The last poll was answered. False before the first answer, and after a poll that got
    // no answer in time (the last answer's values below are kept).
    bool answering = false;
    StatusResponse status;        // the last answer; valid is false until there is one
    qint64 roundTripMs = -1;      // the last answer's, from sending to its arrival
    QDateTime lastAnswer;         // when the last answer came; invalid until one came
    // Why the last poll got no answer: NoAnswer (nothing, or nothing with our token, within
    // two seconds), Refused, NotResolved. Answered while answering.
    ExchangeOutcome::Kind lastOutcome = ExchangeOutcome::NoAnswer;
    int polls = 0;                // polls reported so far, answered or not
};

// Asks a set of servers for their status, `getstatus TOKEN` out of band (no password), every
// period while started, and reports each server's answer or its silence.
//
// The polls go through ServerExchange as automatic requests: they give way to commands and
// are skipped rather than queued when the server's request budget would hold them longer
// than a period. Each poll carries a fresh random token, and only an answer that returns it
// (the `challenge` key) counts; the exchange's connected socket already keeps out datagrams
// from any other address or port. A server is asked again only after its previous poll is
// over. The servers are spread over the period rather than asked all at once (see
// PollDueMs).
class ServerPoller : public QObject {
    Q_OBJECT
public:
    static constexpr int DefaultPeriodMs = 15000;
    static constexpr int AnswerWithinMs = 2000;  // no answer in this long: "no answer"

    explicit ServerPoller(QObject* parent = nullptr);
    ~ServerPoller() override;

    // The servers to poll, in the order they are asked; repeats are dropped. What was
    // learnt about servers still in the set is kept, the rest forgotten. While started, the
    // servers new to the set are asked at once, and the others keep their pace.
    void setServers(const QList<PolledServer>& servers);
    QList<PolledServer> servers() const { return m_servers; }
    // At least one second. While started, the next server is asked one step of the new
    // period from now.
    void setPeriodMs(int periodMs);
    int periodMs() const { return m_periodMs; }

    // Starts polling (the first poll at once); stop() ends it and cancels the polls not over
    // yet (one still waiting for its turn never goes out). Nothing is polled once the
    // program has begun to close.
    void start();
    void stop();
    bool isRunning() const { return m_running; }

    // What is known of a server; a default PollState for one never answered or not in the set.
    PollState state(const PolledServer& server) const { return m_states.value(server); }
    // Polls in flight right now: all of them, or that of one server.
    int pending() const { return static_cast<int>(m_inFlight.size()); }
    bool polling(const PolledServer& server) const { return m_inFlight.contains(server); }

signals:
    // A poll of `server` is over: answered (state.answering) or not.
    void updated(const PolledServer& server, const PollState& state);

private:
    struct Flight {
        ServerExchange* exchange = nullptr;
        QString token;
        QElapsedTimer sentAt;
        bool sent = false;
    };
    void resumeIn(qint64 ms);
    void scheduleNext();
    void pollDue();
    void poll(const PolledServer& server);
    void onDatagram(const PolledServer& server, const QByteArray& datagram);
    void onFinished(const PolledServer& server, const ExchangeOutcome& outcome);

    QList<PolledServer> m_servers;
    QHash<PolledServer, PollState> m_states;
    QHash<PolledServer, Flight> m_inFlight;
    int m_periodMs = DefaultPeriodMs;
    bool m_running = false;
    QTimer* m_timer = nullptr;
    // Where the schedule stands: since it began, moved on after a stall.
    qint64 now() const { return m_clock.elapsed() + m_shiftMs; }
    QElapsedTimer m_clock;
    qint64 m_shiftMs = 0;
    int m_round = 0;
    int m_index = 0;
};

// When the poll of server `index` (of `count`) in round `round` is due, in ms after the
// schedule began. The first round goes quickly (FirstRoundStepMs apart at most), so that
// every server shows soon after the start; from the second round on the servers are spread
// evenly over the period, each asked once a period.
constexpr int FirstRoundStepMs = 50;
qint64 PollDueMs(int round, int index, int count, int periodMs);
