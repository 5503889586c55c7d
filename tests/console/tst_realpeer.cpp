// The window against a real Quake 3 engine dedicated server on loopback: the server runs what
// the window sends, a long reply arrives whole in the pane and in the log, and a wrong password
// shows the server's own answer.
#include "../log/ExchangeRig.h"
#include "OpenArenaServer.h"

#include "console/RconDatagram.h"
#include "console/UdpClient.h"


class RealPeerTest : public QObject {
    Q_OBJECT
private slots:
    void serverRunsWhatTheWindowSends()
    {
        TestEnv env;
        OpenArenaServer server(QStringLiteral("s3cret-pw"));
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        frmMain w;
        AimAt(w, server.port(), server.password());

        // The server holds the very port the program would like to send from on this machine:
        // the program sent from another one and was heard all the same.
        w.Command2->click();
        QVERIFY2(server.waitForOutput(QStringLiteral("Rcon from 127.0.0.1: status")), qPrintable(server.output().right(500)));
        QTRY_VERIFY(w.txtOutput->text().contains(QStringLiteral("map: oa_dm1")));
        QVERIFY(w.udpClient->boundLocalPort() != server.port());

        // cvarlist: about ten datagrams. As many lines as the server prints when asked directly,
        // its own count of variables last; the log record the same as the pane.
        w.ckLog->setValue(1);
        w.txtOutput->setText(QString());
        SendCommand(w, QStringLiteral("cvarlist"));
        QTRY_VERIFY_WITH_TIMEOUT(w.txtOutput->text().contains(QStringLiteral(" total cvars\r\n")), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(!w.replyOpen, 10000);
        QTest::qWait(1100);  // the server answers about one request a second after a short burst
        const QStringList ours = w.txtOutput->text().split(QStringLiteral("\r\n"));
        const QStringList theirs = DecodeReply("print\n" + server.rcon(QStringLiteral("cvarlist"))).split(QStringLiteral("\r\n"));
        QVERIFY2(theirs.size() > 200, "cvarlist should take several datagrams");
        QCOMPARE(ours.size(), theirs.size() + 1);  // and the echo line
        QCOMPARE(ours[ours.size() - 2], theirs[theirs.size() - 2]);
        // The log as the pane, but for the password's value.
        QVERIFY(w.txtOutput->text().contains(QStringLiteral(" rconpassword \"s3cret-pw\"\r\n")));
        QCOMPARE(env.readLog(), QString(w.txtOutput->text() + QStringLiteral("\r\n")).replace(QStringLiteral("s3cret-pw"), QStringLiteral("********")).toLatin1());

        // A wrong password: the server refuses, in its own words.
        QTest::qWait(1100);
        w.txtPassword->setText(QStringLiteral("not-the-password"));
        SendCommand(w, QStringLiteral("status"));
        QTRY_VERIFY(w.txtOutput->text().endsWith(Echo(QStringLiteral("status")) + QStringLiteral("\r\nBad rconpassword.\r\n")));
        QVERIFY(server.waitForOutput(QStringLiteral("Bad rcon from 127.0.0.1")));
    }
};

QTEST_MAIN(RealPeerTest)
#include "tst_realpeer.moc"
