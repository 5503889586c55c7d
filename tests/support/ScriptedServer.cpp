#include "ScriptedServer.h"

#include <QNetworkDatagram>

ScriptedServer::ScriptedServer(const QString& password)
    : m_password(password)
{
    m_socket.bind(QHostAddress::LocalHost, 0);
    QObject::connect(&m_socket, &QUdpSocket::readyRead, &m_socket, [this] { drain(); });
}

void ScriptedServer::drain()
{
    static const QByteArray oob("\xff\xff\xff\xff", 4);
    while (m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram d = m_socket.receiveDatagram();
        const QByteArray data = d.data();
        QByteArray reply;
        if (data.startsWith(oob + "getstatus")) {
            reply = oob + "statusResponse\n\\challenge\\" + data.mid(14).trimmed()
                + "\\version\\ioq3 1.36_GIT stand-in\\sv_hostname\\stand-in\\mapname\\oa_dm1\n";
        } else if (data.startsWith(oob + "rcon ")) {
            ++m_requests;
            const QString rest = QString::fromLatin1(data.mid(9));
            const QString password = rest.section(QLatin1Char(' '), 0, 0);
            const QString command = rest.section(QLatin1Char(' '), 1);
            if (password != m_password) {
                reply = oob + "print\nBad rconpassword.\n";
            } else {
                m_heard << command;
                QList<QByteArray>& texts = m_answers[command];
                const QByteArray text = texts.isEmpty() ? QByteArray() : texts.size() > 1 ? texts.takeFirst() : texts.first();
                if (!text.isEmpty())
                    reply = oob + "print\n" + text;
            }
        }
        if (!reply.isEmpty())
            m_socket.writeDatagram(reply, d.senderAddress(), static_cast<quint16>(d.senderPort()));
    }
}
