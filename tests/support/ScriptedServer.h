#pragma once
#include <QHash>
#include <QStringList>
#include <QUdpSocket>

// A stand-in Quake 3 server on 127.0.0.1 and a free port that answers by script: an rcon
// command with the right password gets the text set for it (one datagram), a wrong password
// "Bad rconpassword.", a command with no text (or an empty one) nothing; "getstatus" gets an info line of an
// ioquake3 engine, then the player lines set as the answers to "getstatus". The rcon commands it heard are kept, in order.
class ScriptedServer {
public:
    explicit ScriptedServer(const QString& password = QStringLiteral("pw"));
    quint16 port() const { return m_socket.localPort(); }
    QString password() const { return m_password; }

    // The answers to `command`, one per request in turn; the last one answers from then on.
    void answer(const QString& command, const QList<QByteArray>& texts) { m_answers[command] = texts; }
    QStringList heard() const { return m_heard; }
    int requests() const { return m_requests; }  // rcon requests, refused ones too

    // The text of an ioquake3 server's answer to "status": one row a player, each given as
    // client number, ping, name and address ("203.0.113.5:27960", "bot"), and the empty line
    // that ends the table.
    static QByteArray StatusAnswer(const QList<QStringList>& rows);

private:
    void drain();
    QUdpSocket m_socket;
    QString m_password;
    QHash<QString, QList<QByteArray>> m_answers;
    QStringList m_heard;
    int m_requests = 0;
};
