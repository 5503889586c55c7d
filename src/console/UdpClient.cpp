#include "console/UdpClient.h"

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

QString UdpClient::describe(int number)
{
    return QString::fromLocal8Bit(std::strerror(number));
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

bool UdpClient::open(const QHostAddress& address, int port, int localPort)
{
    close();
    if (port < 1 || port > 65535 || address.isNull()) {
        reportLater(EDESTADDRREQ, describe(EDESTADDRREQ));
        return false;
    }
    if (!bindAndConnect(address, port, localPort))
        return false;
    if (localPort != 0 && localPort == port && connectedToItself(m_fd)) {
        // A server on this machine that is not running: the socket took the server's own
        // address and port and would hear its own request (password included) as the reply.
        close();
        if (!bindAndConnect(address, port, 0))
            return false;
    }
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UdpClient::readPending);
    return true;
}

bool UdpClient::bindAndConnect(const QHostAddress& address, int port, int localPort)
{
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
    m_fd = fd;
    return true;
}

bool UdpClient::send(const QByteArray& data)
{
    if (m_fd < 0) {
        reportLater(EDESTADDRREQ, describe(EDESTADDRREQ));
        return false;
    }
    if (::send(m_fd, data.constData(), static_cast<size_t>(data.size()), 0) < 0) {
        reportLater(errno, describe(errno));
        return false;
    }
    return true;
}

void UdpClient::readPending()
{
    QByteArray buffer(MaxDatagramSize, Qt::Uninitialized);
    for (int i = 0; i < MaxDatagramsPerWake && m_fd >= 0; ++i) {
        const ssize_t n = ::recv(m_fd, buffer.data(), static_cast<size_t>(buffer.size()), MSG_DONTWAIT);
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
    if (m_notifier) {
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}
