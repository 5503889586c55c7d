#pragma once
#include <QByteArray>

#include <atomic>
#include <thread>

// A bad line in front of a server, for tests and benchmarks: a UDP relay on 127.0.0.1 and a
// free port that forwards every client's datagrams to the server (from a socket of its own per
// client, so the server tells the clients apart as it would) and the answers back, and on the
// way drops, delays and reorders them as set before start(). Drops are drawn from a seeded
// generator, so a run is repeatable. It runs on a thread of its own, so a test may block
// (wait for a child process) meanwhile; it is always stopped when the object goes away.
class LossyRelay {
public:
    struct Line {
        double dropShare = 0;   // the share of datagrams lost, 0 to 1
        int delayMs = 0;        // each datagram is held this long ± jitterMs (so some overtake others)
        int jitterMs = 0;
        // Towards the client: the K-th datagram (from 1) of each answer is lost, an answer being
        // what comes for a client after its request; 0: none.
        int dropNthOfAnswer = 0;
        // Towards the client: the first two datagrams of each answer are swapped.
        bool swapFirstTwo = false;
        // Towards the server: the first request that holds this text is lost; empty: none.
        QByteArray dropFirstMatching;
    };

    LossyRelay(quint16 serverPort, quint32 seed);
    ~LossyRelay();
    LossyRelay(const LossyRelay&) = delete;
    LossyRelay& operator=(const LossyRelay&) = delete;

    Line toServer;
    Line toClient;

    bool start();  // false when no socket could be had
    void stop();
    quint16 port() const { return m_port; }
    // Datagrams forwarded and lost so far, each way.
    int forwardedToServer() const { return m_forwarded[0]; }
    int lostToServer() const { return m_lost[0]; }
    int lostToClient() const { return m_lost[1]; }

private:
    void run();

    quint16 m_serverPort;
    quint32 m_seed;
    quint16 m_port = 0;
    int m_listen = -1;
    std::thread m_thread;
    std::atomic<bool> m_stop {false};
    std::atomic<int> m_forwarded[2] {{0}, {0}};
    std::atomic<int> m_lost[2] {{0}, {0}};
};
