#include "LoopbackServer.h"

#include <QDeadlineTimer>
#include <QNetworkDatagram>
#include <QTest>

LoopbackServer::LoopbackServer(quint16 port)
{
    m_socket.bind(QHostAddress::LocalHost, port);
    QObject::connect(&m_socket, &QUdpSocket::readyRead, &m_socket, [this] { drain(); });
}

void LoopbackServer::drain()
{
    while (m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram d = m_socket.receiveDatagram();
        m_received.append({d.data(), d.senderAddress(), static_cast<quint16>(d.senderPort())});
    }
}

bool LoopbackServer::waitForDatagrams(int count, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (m_received.size() < count && !deadline.hasExpired()) {
        QTest::qWait(5);
        drain();
    }
    return m_received.size() >= count;
}

void LoopbackServer::reply(const QByteArray& data)
{
    if (m_received.isEmpty())
        return;
    const Datagram& last = m_received.last();
    m_socket.writeDatagram(data, last.sender, last.senderPort);
}

void LoopbackServer::sendTo(const QByteArray& data, const QHostAddress& address, quint16 port)
{
    m_socket.writeDatagram(data, address, port);
}

QByteArray PrintReply(const QByteArray& text)
{
    return QByteArray("\xff\xff\xff\xff" "print\n", 10) + text;
}
