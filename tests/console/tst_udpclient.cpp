// The window's UDP socket on loopback: what reaches a server, from which port, host names,
// and the errors the socket layer reports.
#include "LoopbackServer.h"
#include "TestEnv.h"

#include "console/OutputPane.h"
#include "console/UdpClient.h"
#include "ui/frmMain.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QUdpSocket>
#include <QtTest>

#include <cerrno>
#include <cstring>

namespace {
const QByteArray Header("\xff\xff\xff\xff" "rcon ", 9);

void aimAt(frmMain& w, const QString& host, quint16 port, const QString& password)
{
    w.txtAddr->setEditText(host);
    w.txtPort->setEditText(QString::number(port));
    w.txtPassword->setText(password);
}
}

class UdpClientTest : public QObject {
    Q_OBJECT
private slots:
    void everySenderReachesALocalServer()
    {
        TestEnv env;
        LoopbackServer server;
        frmMain w;
        QSignalSpy errors(w.udpClient, &UdpClient::error);
        aimAt(w, QStringLiteral("127.0.0.1"), server.port(), QStringLiteral("abc123"));

        w.txtCommand->setText(QStringLiteral("kick 3"));
        w.cmdConnect->click();
        w.Command1->click();
        w.Command2->click();
        w.mnuCommandsStatus->trigger();
        w.mnuCommandsServerInfo->trigger();
        // A second press before any reply sends a second, identical datagram.
        w.mnuCommandsServerInfo->trigger();
        QVERIFY(server.waitForDatagrams(6));
        const QList<QByteArray> expected = {Header + "abc123 kick 3", Header + "abc123 serverinfo", Header + "abc123 status",
            Header + "abc123 status", Header + "abc123 serverinfo", Header + "abc123 serverinfo"};
        QCOMPARE(server.received().size(), expected.size());
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(server.received().at(i).data, expected.at(i));
        QCOMPARE(server.received().at(2).data.size(), 22);

        // The server holds the port the socket would like to bind here, so it sent from a
        // port the system chose, and it still hears the answer there.
        const quint16 from = server.received().at(0).senderPort;
        QVERIFY(from != server.port());
        QCOMPARE(w.udpClient->boundLocalPort(), int(from));
        for (const auto& d : server.received())
            QCOMPARE(d.senderPort, from);
        server.reply(PrintReply("map: oa_dm1\n"));
        QTRY_VERIFY(w.txtOutput->text().endsWith(QStringLiteral("map: oa_dm1\r\n")));
        QCOMPARE(errors.size(), 0);
    }

    void localPortIsTheServerPortWhenFree()
    {
        TestEnv env;
        const int port = FreeUdpPort();
        UdpClient client;
        QSignalSpy arrivals(&client, &UdpClient::dataArrival);
        QSignalSpy errors(&client, &UdpClient::error);
        // A server at another address (127.0.0.2 is this machine too, but nothing of ours
        // listens there): the socket sends from the server's own port number.
        client.setRemoteHost(QStringLiteral("127.0.0.2"));
        QVERIFY(client.setRemotePort(port));
        QVERIFY(client.setLocalPort(client.remotePort()));
        client.sendData(Header + "pw status");
        QCOMPARE(client.boundLocalPort(), port);
        // Nothing answers there: "port unreachable" comes back as the system's words.
        QTRY_COMPARE(errors.size(), 1);
        QCOMPARE(errors.at(0).at(0).toInt(), ECONNREFUSED);
        QCOMPARE(errors.at(0).at(1).toString(), QString::fromLocal8Bit(std::strerror(ECONNREFUSED)));

        // Ports the socket does not take are refused and change nothing.
        QVERIFY(!client.setRemotePort(0));
        QVERIFY(!client.setRemotePort(65536));
        QCOMPARE(client.remotePort(), port);
        QVERIFY(!client.setLocalPort(-1));
        QCOMPARE(client.localPort(), port);

        client.close();
        QVERIFY(!client.isOpen());
        QCOMPARE(client.boundLocalPort(), 0);
        QCOMPARE(arrivals.size(), 0);
    }

    void neverHearsItsOwnRequest()
    {
        // This machine's address and a port nothing listens on: bound to that port, the
        // socket would be connected to itself and take its own request, password and all,
        // for the answer. It sends from another port, and the send is refused as it should be.
        TestEnv env;
        const int port = FreeUdpPort();
        frmMain w;
        QSignalSpy arrivals(w.udpClient, &UdpClient::dataArrival);
        QSignalSpy errors(w.udpClient, &UdpClient::error);
        aimAt(w, QStringLiteral("127.0.0.1"), port, QStringLiteral("s3cret"));
        w.Command2->click();
        QTRY_COMPARE(errors.size(), 1);
        QCOMPARE(errors.at(0).at(0).toInt(), ECONNREFUSED);
        QVERIFY(w.udpClient->boundLocalPort() != port);
        QCOMPARE(arrivals.size(), 0);
        QTRY_VERIFY(w.txtOutput->text().endsWith(QString::fromLocal8Bit(std::strerror(ECONNREFUSED)) + QStringLiteral("\r\n")));
        QVERIFY(!w.txtOutput->text().contains(QLatin1String("s3cret")));
    }

    void hostNames()
    {
        TestEnv env;
        LoopbackServer server;
        frmMain w;
        QSignalSpy errors(w.udpClient, &UdpClient::error);

        // A name is resolved, and sends keep their order while it is looked up.
        aimAt(w, QStringLiteral("localhost"), server.port(), QStringLiteral("pw"));
        w.txtCommand->setText(QStringLiteral("first"));
        w.cmdConnect->click();
        aimAt(w, QStringLiteral("127.0.0.1"), server.port(), QStringLiteral("pw"));
        w.txtCommand->setText(QStringLiteral("second"));
        w.cmdConnect->click();
        QVERIFY(server.waitForDatagrams(2));
        QCOMPARE(server.received().at(0).data, Header + "pw first");
        QCOMPARE(server.received().at(1).data, Header + "pw second");
        QCOMPARE(errors.size(), 0);

        // A name that cannot be resolved is reported with the resolver's own words, in the
        // pane; the echo line was written, as for any send that the socket layer refuses.
        aimAt(w, QStringLiteral("no..such..host"), server.port(), QStringLiteral("pw"));
        w.txtCommand->setText(QStringLiteral("third"));
        w.cmdConnect->click();
        QTRY_COMPARE(errors.size(), 1);
        const QString description = errors.at(0).at(1).toString();
        QVERIFY(!description.isEmpty());
        QTRY_VERIFY(w.txtOutput->text().endsWith(description + QStringLiteral("\r\n")));
        QVERIFY(w.txtOutput->text().contains(QStringLiteral(" : third\r\n")));

        // The failed name does not hold up the next send.
        aimAt(w, QStringLiteral("localhost"), server.port(), QStringLiteral("pw"));
        w.txtCommand->setText(QStringLiteral("fourth"));
        w.cmdConnect->click();
        QVERIFY(server.waitForDatagrams(3));
        QCOMPARE(server.received().at(2).data, Header + "pw fourth");
        QCOMPARE(errors.size(), 1);
    }

    void refusedSends()
    {
        TestEnv env;
        // Nobody listens on the port: the server's machine answers "port unreachable", which
        // the socket reports as the system's "Connection refused".
        {
            const int port = FreeUdpPort();
            UdpClient client;
            QSignalSpy errors(&client, &UdpClient::error);
            client.setRemoteHost(QStringLiteral("127.0.0.1"));
            client.setRemotePort(port);
            client.setLocalPort(0);
            client.sendData(Header + "pw status");
            QTRY_COMPARE(errors.size(), 1);
            QCOMPARE(errors.at(0).at(0).toInt(), ECONNREFUSED);
            QCOMPARE(errors.at(0).at(1).toString(), QString::fromLocal8Bit(std::strerror(ECONNREFUSED)));
        }
        // A datagram larger than UDP carries is refused by the socket layer at once; the
        // error still comes through the error signal, from the event loop.
        {
            LoopbackServer server;
            UdpClient client;
            QSignalSpy errors(&client, &UdpClient::error);
            client.setRemoteHost(QStringLiteral("127.0.0.1"));
            client.setRemotePort(server.port());
            client.setLocalPort(server.port());
            client.sendData(Header + QByteArray(70000, 'x'));
            QCOMPARE(errors.size(), 0);
            QTRY_COMPARE(errors.size(), 1);
            QCOMPARE(errors.at(0).at(0).toInt(), EMSGSIZE);
            QCOMPARE(errors.at(0).at(1).toString(), QString::fromLocal8Bit(std::strerror(EMSGSIZE)));
            // The socket stays usable.
            client.sendData(Header + "pw status");
            QVERIFY(server.waitForDatagrams(1));
            QCOMPARE(server.received().at(0).data, Header + "pw status");
        }
        // No remote host at all.
        {
            UdpClient client;
            QSignalSpy errors(&client, &UdpClient::error);
            client.setRemotePort(27960);
            client.sendData(Header + "pw status");
            QTRY_COMPARE(errors.size(), 1);
            QVERIFY(!errors.at(0).at(1).toString().isEmpty());
        }
    }
};

QTEST_MAIN(UdpClientTest)
#include "tst_udpclient.moc"
