#include "LoopbackServer.h"

#include <QDeadlineTimer>
#include <QNetworkDatagram>
#include <QTest>

LoopbackServer::LoopbackServer(quint16 port)
    : LoopbackServer(QHostAddress(QHostAddress::LocalHost), port)
{
}

LoopbackServer::LoopbackServer(const QHostAddress& address, quint16 port)
{
    m_socket.bind(address, port);
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
    for (QDeadlineTimer deadline(timeoutMs); m_received.size() < count && !deadline.hasExpired(); drain())
        QTest::qWait(5);
    return m_received.size() >= count;
}

void LoopbackServer::reply(const QByteArray& data)
{
    if (!m_received.isEmpty())
        sendTo(data, m_received.last().sender, m_received.last().senderPort);
}

void LoopbackServer::sendTo(const QByteArray& data, const QHostAddress& address, quint16 port)
{
    m_socket.writeDatagram(data, address, port);
}

QByteArray PrintReply(const QByteArray& text)
{
    return "\xff\xff\xff\xff" "print\n" + text;
}

const QByteArray EmptyStatus = "map: oa_dm1\ncl score ping name            address                                 rate \n"
                               "-- ----- ---- --------------- --------------------------------------- -----\n\n";

QString EmptyStatusShown()
{
    return QString::fromLatin1(EmptyStatus).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}
