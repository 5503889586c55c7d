#include "LossyRelay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <random>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

sockaddr_in Loopback(quint16 port)
{
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// A datagram on its way, held until its time comes.
struct Held {
    Clock::time_point due;
    int fromSocket;   // the socket it goes out on
    sockaddr_in to;
    QByteArray data;
};

// One client as the relay knows it: its address, its socket towards the server, its answer so far.
struct Client {
    sockaddr_in address {};
    int upstream = -1;
    int answerDatagrams = 0;  // datagrams of the current answer seen so far
    QByteArray swapped;       // the first datagram of an answer, held for the second
    Clock::time_point swappedAt;
};
}

LossyRelay::LossyRelay(quint16 serverPort, quint32 seed)
    : m_serverPort(serverPort)
    , m_seed(seed)
{
}

LossyRelay::~LossyRelay()
{
    stop();
}

bool LossyRelay::start()
{
    m_listen = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in any = Loopback(0);
    socklen_t size = sizeof any;
    if (m_listen < 0 || bind(m_listen, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0
        || getsockname(m_listen, reinterpret_cast<sockaddr*>(&any), &size) != 0) {
        stop();
        return false;
    }
    m_port = ntohs(any.sin_port);
    m_stop = false;
    m_thread = std::thread([this] { run(); });
    return true;
}

void LossyRelay::stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listen >= 0)
        close(m_listen);
    m_listen = -1;
}

void LossyRelay::run()
{
    std::mt19937 random(m_seed);
    std::uniform_real_distribution<double> share(0, 1);
    std::map<std::pair<quint32, quint16>, Client> clients;
    std::vector<Held> held;
    bool requestDropped = false;
    const sockaddr_in server = Loopback(m_serverPort);

    auto schedule = [&](const Line& line, int fromSocket, const sockaddr_in& to, const QByteArray& data) {
        int ms = line.delayMs;
        if (line.jitterMs > 0)
            ms += std::uniform_int_distribution<int>(-line.jitterMs, line.jitterMs)(random);
        held.push_back({Clock::now() + std::chrono::milliseconds(qMax(0, ms)), fromSocket, to, data});
    };
    auto lost = [&](const Line& line) { return line.dropShare > 0 && share(random) < line.dropShare; };

    char buffer[65536];
    while (!m_stop) {
        std::vector<pollfd> fds {{m_listen, POLLIN, 0}};
        std::vector<Client*> owners {nullptr};
        for (auto& c : clients) {
            fds.push_back({c.second.upstream, POLLIN, 0});
            owners.push_back(&c.second);
        }
        poll(fds.data(), fds.size(), 5);
        for (size_t i = 0; i < fds.size(); ++i) {
            if (!(fds[i].revents & POLLIN))
                continue;
            sockaddr_in from {};
            socklen_t size = sizeof from;
            const ssize_t n = recvfrom(fds[i].fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &size);
            if (n < 0)
                continue;
            const QByteArray data(buffer, static_cast<int>(n));
            if (i == 0) {  // a client's request
                Client& c = clients[{from.sin_addr.s_addr, from.sin_port}];
                if (c.upstream < 0) {
                    c.address = from;
                    c.upstream = socket(AF_INET, SOCK_DGRAM, 0);
                    sockaddr_in any = Loopback(0);
                    bind(c.upstream, reinterpret_cast<sockaddr*>(&any), sizeof any);
                }
                c.answerDatagrams = 0;
                c.swapped.clear();
                if ((!toServer.dropFirstMatching.isEmpty() && !requestDropped && data.contains(toServer.dropFirstMatching))
                    || lost(toServer)) {
                    requestDropped = requestDropped || data.contains(toServer.dropFirstMatching);
                    ++m_lost[0];
                    continue;
                }
                ++m_forwarded[0];
                schedule(toServer, c.upstream, server, data);
                continue;
            }
            Client& c = *owners[i];  // the server's answer to that client
            ++c.answerDatagrams;
            if (c.answerDatagrams == toClient.dropNthOfAnswer || lost(toClient)) {
                ++m_lost[1];
                continue;
            }
            ++m_forwarded[1];
            if (toClient.swapFirstTwo && c.answerDatagrams == 1) {
                c.swapped = data;
                c.swappedAt = Clock::now();
                continue;
            }
            schedule(toClient, m_listen, c.address, data);
            if (!c.swapped.isEmpty()) {
                schedule(toClient, m_listen, c.address, c.swapped);
                c.swapped.clear();
            }
        }
        const Clock::time_point now = Clock::now();
        for (auto& c : clients) {  // an answer of one datagram has nothing to swap with
            if (!c.second.swapped.isEmpty() && now - c.second.swappedAt > std::chrono::milliseconds(300)) {
                schedule(toClient, m_listen, c.second.address, c.second.swapped);
                c.second.swapped.clear();
            }
        }
        for (auto it = held.begin(); it != held.end();) {
            if (it->due > now) {
                ++it;
                continue;
            }
            sendto(it->fromSocket, it->data.constData(), static_cast<size_t>(it->data.size()), 0,
                reinterpret_cast<const sockaddr*>(&it->to), sizeof it->to);
            it = held.erase(it);
        }
    }
    for (auto& c : clients)
        close(c.second.upstream);
}
