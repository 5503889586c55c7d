// The window's UDP socket on loopback: what reaches a server, from which port, host names,
// and the errors the socket layer reports.
#include "../log/ExchangeRig.h"
#include "TestEnv.h"

#include "console/UdpClient.h"

#include <QSignalSpy>
#include <QtTest>

#include <cerrno>
#include <cstring>

class UdpClientTest : public QObject {
    Q_OBJECT
private slots:
    void everySenderReachesALocalServer()
    {
        TestEnv env;
        LoopbackServer server;
        frmMain w;
        QSignalSpy errors(w.udpClient, &UdpClient::error);
        AimAt(w, server.port(), QStringLiteral("abc123"));

        SendCommand(w, QStringLiteral("kick 3"));
        w.Command1->click();
        w.Command2->click();
        w.mnuCommandsStatus->trigger();
        w.mnuCommandsServerInfo->trigger();
        // A second press before any reply sends a second, identical datagram.
        w.mnuCommandsServerInfo->trigger();
        QVERIFY(server.waitForDatagrams(6));
        const QList<QByteArray> expected = {Request("abc123 kick 3"), Request("abc123 serverinfo"), Request("abc123 status"),
            Request("abc123 status"), Request("abc123 serverinfo"), Request("abc123 serverinfo")};
        QCOMPARE(server.received().size(), expected.size());
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(server.received().at(i).data, expected.at(i));

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

    void hostNames()
    {
        TestEnv env;
        LoopbackServer server;
        frmMain w;
        QSignalSpy errors(w.udpClient, &UdpClient::error);

        // A name is resolved, and sends keep their order while it is looked up.
        AimAt(w, server.port(), QStringLiteral("pw"), QStringLiteral("localhost"));
        SendCommand(w, QStringLiteral("first"));
        AimAt(w, server.port(), QStringLiteral("pw"));
        SendCommand(w, QStringLiteral("second"));
        QVERIFY(server.waitForDatagrams(2));
        QCOMPARE(server.received().at(0).data, Request("pw first"));
        QCOMPARE(server.received().at(1).data, Request("pw second"));
        QCOMPARE(errors.size(), 0);

        // A name that cannot be resolved is reported with the resolver's own words, in the
        // pane; the echo line was written, as for any send that the socket layer refuses.
        AimAt(w, server.port(), QStringLiteral("pw"), QStringLiteral("no..such..host"));
        SendCommand(w, QStringLiteral("third"));
        QTRY_COMPARE(errors.size(), 1);
        const QString description = errors.at(0).at(1).toString();
        QVERIFY(!description.isEmpty());
        QTRY_VERIFY(w.txtOutput->text().endsWith(description + QStringLiteral("\r\n")));
        QVERIFY(w.txtOutput->text().contains(QStringLiteral(" : third\r\n")));

        // The failed name does not hold up the next send.
        AimAt(w, server.port(), QStringLiteral("pw"), QStringLiteral("localhost"));
        SendCommand(w, QStringLiteral("fourth"));
        QVERIFY(server.waitForDatagrams(3));
        QCOMPARE(server.received().at(2).data, Request("pw fourth"));
        QCOMPARE(errors.size(), 1);
    }

    // What the socket layer refuses comes through the error signal with its own words.
    void refusedSends()
    {
        TestEnv env;
        const QString refused = QString::fromLocal8Bit(std::strerror(ECONNREFUSED));
        // A server at another address of this machine, where nothing of ours listens: the
        // socket sends from the server's own port number, and "port unreachable" comes back.
        {
            const int port = FreeUdpPort();
            UdpClient client;
            QSignalSpy errors(&client, &UdpClient::error);
            client.setRemoteHost(QStringLiteral("127.0.0.2"));
            QVERIFY(client.setRemotePort(port));
            QVERIFY(client.setLocalPort(client.remotePort()));
            client.sendData(Request("pw status"));
            QCOMPARE(client.boundLocalPort(), port);
            QTRY_COMPARE(errors.size(), 1);
            QCOMPARE(errors.at(0).at(0).toInt(), ECONNREFUSED);
            QCOMPARE(errors.at(0).at(1).toString(), refused);
        }
        // A datagram larger than UDP carries is refused at once; the error still comes from
        // the event loop, and the socket stays usable.
        {
            LoopbackServer server;
            UdpClient client;
            QSignalSpy errors(&client, &UdpClient::error);
            client.setRemoteHost(QStringLiteral("127.0.0.1"));
            client.setRemotePort(server.port());
            client.setLocalPort(server.port());
            client.sendData(Request(QByteArray(70000, 'x')));
            QCOMPARE(errors.size(), 0);
            QTRY_COMPARE(errors.size(), 1);
            QCOMPARE(errors.at(0).at(0).toInt(), EMSGSIZE);
            QCOMPARE(errors.at(0).at(1).toString(), QString::fromLocal8Bit(std::strerror(EMSGSIZE)));
            client.sendData(Request("pw status"));
            QVERIFY(server.waitForDatagrams(1));
            QCOMPARE(server.received().at(0).data, Request("pw status"));
        }
        // No remote host at all.
        {
            UdpClient client;
            QSignalSpy errors(&client, &UdpClient::error);
            client.setRemotePort(27960);
            client.sendData(Request("pw status"));
            QTRY_COMPARE(errors.size(), 1);
            QVERIFY(!errors.at(0).at(1).toString().isEmpty());
        }
    }
};

QTEST_MAIN(UdpClientTest)
#include "tst_udpclient.moc"
