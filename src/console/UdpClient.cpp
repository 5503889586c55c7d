#include "console/UdpClient.h"

#include "console/RequestBudget.h"
#include "console/Shutdown.h"

#include <QHostInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// At most this many datagrams are taken in one go, so a flood cannot starve the window.
constexpr int MaxDatagramsPerWake = 64;
constexpr int MaxDatagramSize = 65536;

QString describe(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

socklen_t fillAddress(sockaddr_storage& ss, const QHostAddress& address, int port)
{
    std::memset(&ss, 0, sizeof ss);
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto* a6 = reinterpret_cast<sockaddr_in6*>(&ss);
        a6->sin6_family = AF_INET6;
        a6->sin6_port = htons(static_cast<quint16>(port));
        const Q_IPV6ADDR ip = address.toIPv6Address();
        std::memcpy(&a6->sin6_addr, ip.c, 16);
        a6->sin6_scope_id = address.scopeId().toUInt();
        return sizeof(sockaddr_in6);
    }
    auto* a4 = reinterpret_cast<sockaddr_in*>(&ss);
    a4->sin_family = AF_INET;
    a4->sin_port = htons(static_cast<quint16>(port));
    a4->sin_addr.s_addr = htonl(address.toIPv4Address());
    return sizeof(sockaddr_in);
}

// True when a connected socket's own address and port are those it is connected to.
bool connectedToItself(int fd)
{
    sockaddr_storage self, peer;
    socklen_t selfLen = sizeof self, peerLen = sizeof peer;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&self), &selfLen) != 0
        || ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLen) != 0)
        return false;
    return selfLen == peerLen && std::memcmp(&self, &peer, selfLen) == 0;
}

socklen_t anyAddress(sockaddr_storage& ss, int family, int port)
{
    return fillAddress(ss, family == AF_INET6 ? QHostAddress(QHostAddress::AnyIPv6) : QHostAddress(QHostAddress::AnyIPv4), port);
}
}

UdpClient::UdpClient(QObject* parent)
    : QObject(parent)
{
}

UdpClient::~UdpClient()
{
    close();
}

void UdpClient::setRemoteHost(const QString& host)
{
    m_remoteHost = host;
}

bool UdpClient::setRemotePort(int port)
{
    if (port < 1 || port > 65535)
        return false;
    m_remotePort = port;
    return true;
}

bool UdpClient::setLocalPort(int port)
{
    if (port < 0 || port > 65535)
        return false;
    m_localPort = port;
    return true;
}

int UdpClient::boundLocalPort() const
{
    if (m_fd < 0)
        return 0;
    sockaddr_storage ss;
    socklen_t len = sizeof ss;
    if (::getsockname(m_fd, reinterpret_cast<sockaddr*>(&ss), &len) != 0)
        return 0;
    if (ss.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<sockaddr_in6*>(&ss)->sin6_port);
    return ntohs(reinterpret_cast<sockaddr_in*>(&ss)->sin_port);
}

void UdpClient::sendData(const QByteArray& data)
{
    if (ShuttingDown())
        return;  // the program is closing: nothing more goes out
    m_pending.push_back(Pending{m_remoteHost, m_remotePort, m_localPort, data, QHostAddress(), -1, ++m_queuedCount, std::nullopt});
    pump();
}

quint64 UdpClient::sendData(const QByteArray& data, const Turn& turn)
{
    if (ShuttingDown())
        return 0;  // no send has this number
    const quint64 number = ++m_queuedCount;
    m_pending.push_back(Pending{m_remoteHost, m_remotePort, m_localPort, data, QHostAddress(), -1, number, turn});
    pump();
    return number;
}

std::deque<UdpClient::Pending>::iterator UdpClient::find(quint64 number)
{
    return std::find_if(m_pending.begin(), m_pending.end(), [number](const Pending& p) { return p.number == number; });
}

void UdpClient::turnCame(quint64 number)
{
    const auto it = find(number);
    if (it == m_pending.end())
        return;
    const Pending p = *it;
    m_pending.erase(it);
    deliver(p);
}

void UdpClient::deliver(const Pending& p)
{
    if (!transmit(p))
        return;
    ++m_sendCount;
    if (p.turn && p.turn->sent)
        p.turn->sent();
    emit wentOut(p.number);
}

void UdpClient::pump()
{
    // A callback run from here (a send going out, one told to wait) may send or close again:
    // that asks for another pass instead of running inside this one.
    if (m_pumping) {
        m_pumpAgain = true;
        return;
    }
    m_pumping = true;
    do {
        m_pumpAgain = false;
        pumpOnce();
    } while (m_pumpAgain);
    m_pumping = false;
}

void UdpClient::pumpOnce()
{
    // Names resolve one at a time, in the order the sends were made; a send whose server's
    // request budget holds it waits for its turn while the ones behind it go on.
    for (std::size_t i = 0; i < m_pending.size();) {
        Pending& p = m_pending[i];
        if (p.ticket) {
            ++i;
            continue;
        }
        if (p.address.isNull()) {
            if (p.lookupId >= 0)
                return;  // still resolving
            const QString host = p.host.trimmed();
            if (host.isEmpty()) {
                reportLater(EDESTADDRREQ, describe(EDESTADDRREQ));
                m_pending.erase(m_pending.begin() + static_cast<std::ptrdiff_t>(i));
                continue;
            }
            QHostAddress literal;
            if (!literal.setAddress(host)) {
                p.lookupId = QHostInfo::lookupHost(host, this, &UdpClient::lookedUp);
                return;
            }
            p.address = literal;
        }
        if (p.turn && p.port >= 1 && p.port <= 65535) {
            if (ShuttingDown()) {
                close();  // never on the wire, and nothing said about them
                return;
            }
            RequestScheduler& budget = RequestScheduler::instance();
            const auto priority = p.turn->automatic ? RequestBudget::Priority::Automatic : RequestBudget::Priority::Typed;
            if (!budget.takeNow(p.address, p.port, RequestBudget::Kind::Rcon, priority)) {
                qint64 wait = 0;
                p.ticket = budget.requestTurn(p.address, p.port, RequestBudget::Kind::Rcon, priority,
                    p.turn->automatic ? p.turn->skipIfLongerMs : 0, [this, number = p.number] { turnCame(number); }, &wait);
                if (!p.ticket) {
                    m_pending.erase(m_pending.begin() + static_cast<std::ptrdiff_t>(i));  // automatic, held too long
                    continue;
                }
                ++i;
                if (wait > 0 && p.turn->waiting) {
                    const auto waiting = p.turn->waiting;
                    waiting(wait);
                }
                continue;
            }
        }
        const Pending out = p;
        m_pending.erase(m_pending.begin() + static_cast<std::ptrdiff_t>(i));
        deliver(out);
    }
}

QHostAddress PreferredAddress(const QHostInfo& info)
{
    for (const QHostAddress& a : info.addresses()) {  // IPv4 first: servers mostly listen there
        if (a.protocol() == QAbstractSocket::IPv4Protocol)
            return a;
    }
    return info.addresses().isEmpty() ? QHostAddress() : info.addresses().first();
}

void UdpClient::lookedUp(const QHostInfo& info)
{
    const auto it = std::find_if(m_pending.begin(), m_pending.end(), [&info](const Pending& p) { return p.lookupId == info.lookupId(); });
    if (it == m_pending.end())
        return;  // the send was dropped by close()
    const QHostAddress chosen = PreferredAddress(info);
    if (info.error() != QHostInfo::NoError || chosen.isNull()) {
        const QString text = info.errorString().isEmpty() ? QStringLiteral("Host not found") : info.errorString();
        m_pending.erase(it);
        reportLater(EHOSTUNREACH, text);
    } else {
        it->address = chosen;
        it->lookupId = -1;
    }
    pump();
}

bool UdpClient::transmit(const Pending& p)
{
    if (p.port < 1 || p.port > 65535) {
        reportLater(EDESTADDRREQ, describe(EDESTADDRREQ));
        return false;
    }
    if (ShuttingDown() || !aim(p.address, p.port, p.localPort))
        return false;  // a send that waited for its name or turn while the program began to close
    const ssize_t n = ::send(m_fd, p.data.constData(), static_cast<size_t>(p.data.size()), 0);
    if (n < 0) {
        reportLater(errno, describe(errno));
        return false;
    }
    return true;
}

bool UdpClient::aim(const QHostAddress& address, int port, int localPort)
{
    if (m_fd >= 0 && address == m_aimedAddress && port == m_aimedPort && localPort == m_aimedLocalPort)
        return true;  // already aimed there: keep hearing the rest of an earlier reply
    closeSocket();
    const int family = address.protocol() == QAbstractSocket::IPv6Protocol ? AF_INET6 : AF_INET;
    const int fd = ::socket(family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        reportLater(errno, describe(errno));
        return false;
    }
    sockaddr_storage local;
    socklen_t len = anyAddress(local, family, localPort);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), len) != 0) {
        // The port is held here (a local server, another client): let the system choose one.
        len = anyAddress(local, family, 0);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&local), len) != 0) {
            const int err = errno;
            ::close(fd);
            reportLater(err, describe(err));
            return false;
        }
    }
    sockaddr_storage remote;
    len = fillAddress(remote, address, port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&remote), len) != 0) {
        const int err = errno;
        ::close(fd);
        reportLater(err, describe(err));
        return false;
    }
    if (localPort != 0 && localPort == port && connectedToItself(fd)) {
        // A server on this machine that is not running: the socket took the server's own
        // address and port and would hear its own request (password included) as the reply.
        ::close(fd);
        if (!aim(address, port, 0))
            return false;
        m_aimedLocalPort = localPort;  // the next request to the same place keeps this socket
        return true;
    }
    m_fd = fd;
    m_aimedAddress = address;
    m_aimedPort = port;
    m_aimedLocalPort = localPort;
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UdpClient::readPending);
    return true;
}

void UdpClient::readPending()
{
    QByteArray buffer(MaxDatagramSize, Qt::Uninitialized);
    for (int i = 0; i < MaxDatagramsPerWake && m_fd >= 0; ++i) {
        const int fd = m_fd;
        const ssize_t n = ::recv(fd, buffer.data(), static_cast<size_t>(buffer.size()), MSG_DONTWAIT);
        if (n < 0) {
            const int err = errno;
            if (err == EAGAIN || err == EWOULDBLOCK)
                return;
            if (err == EINTR)
                continue;
            // An ICMP answer such as "port unreachable" surfaces here on a connected socket.
            raiseSocketError(err);
            continue;
        }
        m_current = buffer.left(static_cast<int>(n));
        emit dataArrival(n);
    }
}

void UdpClient::raiseSocketError(int number)
{
    emit error(number, describe(number));
}

void UdpClient::reportLater(int number, const QString& description)
{
    QTimer::singleShot(0, this, [this, number, description] { emit error(number, description); });
}

void UdpClient::close()
{
    for (const Pending& p : m_pending) {
        if (p.lookupId >= 0)
            QHostInfo::abortHostLookup(p.lookupId);
    }
    for (const Pending& p : m_pending) {
        if (p.ticket)
            RequestScheduler::instance().cancel(p.ticket);
    }
    m_pending.clear();
    closeSocket();
}

void UdpClient::closeSocket()
{
    if (m_notifier) {
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_aimedAddress = QHostAddress();
    m_aimedPort = 0;
    m_aimedLocalPort = -1;
}
