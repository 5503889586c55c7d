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
            QList<QByteArray>& players = m_answers[QStringLiteral("getstatus")];
            reply = oob + "statusResponse\n\\challenge\\" + data.mid(14).trimmed()
                + "\\version\\ioq3 1.36_GIT stand-in\\sv_hostname\\stand-in\\mapname\\oa_dm1\n"
                + (players.isEmpty() ? QByteArray() : players.size() > 1 ? players.takeFirst() : players.first());
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

QByteArray ScriptedServer::StatusAnswer(const QList<QStringList>& rows)
{
    QByteArray text = "map: oa_dm1\ncl score ping name            address                                 rate \n"
                      "-- ----- ---- --------------- --------------------------------------- -----\n";
    for (const QStringList& r : rows)
        text += (r[0].rightJustified(2) + QStringLiteral("     0 ") + r[1].rightJustified(4) + QLatin1Char(' ') + r[2].leftJustified(15)
            + QStringLiteral(" ^7") + r[3].leftJustified(39) + QStringLiteral(" 25000\n")).toLatin1();
    return text + '\n';  // the table ends with an empty line
}
