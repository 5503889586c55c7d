// The window against a real Quake 3 engine dedicated server on loopback: the server runs
// what the window sends, long replies arrive whole in the pane and in the log, and a wrong
// password shows the server's own answer. The server answers about one request a second
// after a short burst, so the requests are paced.
#include "../log/ExchangeRig.h"
#include "OpenArenaServer.h"
#include "TestEnv.h"

#include "console/RconDatagram.h"
#include "console/UdpClient.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

namespace {
// The reply of the window's latest request: what the pane shows after its echo line.
QString replyAfterEcho(const frmMain& w, const QString& command)
{
    const QString echo = Echo(command) + QStringLiteral("\r\n");
    const QString pane = w.txtOutput->text();
    const int at = pane.lastIndexOf(echo);
    return at < 0 ? QString() : pane.mid(at + echo.size());
}

// The server's own text, asked directly, decoded the way the window decodes it.
QString direct(OpenArenaServer& server, const QString& command)
{
    QTest::qWait(1100);
    return DecodeReply(QByteArray("print\n") + server.rcon(command));
}
}

class RealPeerTest : public QObject {
    Q_OBJECT
private slots:
    void serverRunsWhatTheWindowSends()
    {
        TestEnv env;
        Clock::setFixedTimeForTesting(QTime(12, 0, 0));
        OpenArenaServer server(QStringLiteral("s3cret-pw"));
        QVERIFY2(server.start(), qPrintable(server.errorText()));

        frmMain w;
        QSignalSpy errors(w.udpClient, &UdpClient::error);
        AimAt(w, server.port(), server.password());

        // Status: the server itself says it ran the command, and its answer reaches the pane.
        w.Command2->click();
        QVERIFY2(server.waitForOutput(QStringLiteral("Rcon from 127.0.0.1: status")), qPrintable(server.output().right(500)));
        QTRY_VERIFY(w.txtOutput->text().contains(QStringLiteral("map: oa_dm1")));
        // The server holds the very port the program would like to bind on this machine:
        // the program sent from another port and was heard all the same.
        QVERIFY(w.udpClient->boundLocalPort() != 0);
        QVERIFY(w.udpClient->boundLocalPort() != server.port());
        QTRY_VERIFY_WITH_TIMEOUT(!w.replyOpen, 10000);

        // Server Info through the Commands menu: two datagrams on a stock server.
        w.ckLog->setValue(1);
        w.mnuCommandsServerInfo->trigger();
        QVERIFY(server.waitForOutput(QStringLiteral("Rcon from 127.0.0.1: serverinfo")));
        QTRY_VERIFY_WITH_TIMEOUT(!replyAfterEcho(w, QStringLiteral("serverinfo")).isEmpty(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!w.replyOpen, 10000);  // the reply is over
        const QString serverinfo = replyAfterEcho(w, QStringLiteral("serverinfo"));
        const QString serverinfoDirect = direct(server, QStringLiteral("serverinfo"));
        QVERIFY(serverinfoDirect.contains(QStringLiteral("\r\nmapname")));
        QVERIFY2(serverinfoDirect.size() > 1000, "serverinfo should take more than one datagram");
        QCOMPARE(serverinfo, serverinfoDirect);

        // cvarlist: about ten datagrams, ending in the server's own count of its variables.
        QTest::qWait(1100);
        SendCommand(w, QStringLiteral("cvarlist"));
        QTRY_VERIFY_WITH_TIMEOUT(replyAfterEcho(w, QStringLiteral("cvarlist")).contains(QStringLiteral("cvar indexes")), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(!w.replyOpen, 10000);
        const QString cvarlist = replyAfterEcho(w, QStringLiteral("cvarlist"));
        const QString cvarlistDirect = direct(server, QStringLiteral("cvarlist"));
        QVERIFY2(cvarlistDirect.size() > 5000, "cvarlist should take several datagrams");
        const QRegularExpression count(QStringLiteral("\\r\\n(\\d+) total cvars\\r\\n"));
        const QRegularExpressionMatch theirs = count.match(cvarlistDirect);
        const QRegularExpressionMatch ours = count.match(cvarlist);
        QVERIFY(theirs.hasMatch() && ours.hasMatch());
        QCOMPARE(ours.captured(1), theirs.captured(1));
        // Every variable line whole: as many lines as the server printed, each one of them.
        const QStringList ourLines = cvarlist.split(QStringLiteral("\r\n"));
        const QStringList theirLines = cvarlistDirect.split(QStringLiteral("\r\n"));
        QCOMPARE(ourLines.size(), theirLines.size());
        int differing = 0;
        for (int i = 0; i < ourLines.size(); ++i)
            differing += ourLines.at(i) != theirLines.at(i);
        QVERIFY2(differing <= 2, qPrintable(QStringLiteral("%1 lines differ").arg(differing)));  // a clock-like value may move

        // The log: each reply one record, exactly as shown.
        QCOMPARE(env.readLog(), (Echo(QStringLiteral("serverinfo")) + QStringLiteral("\r\n") + serverinfo + QStringLiteral("\r\n")
            + Echo(QStringLiteral("cvarlist")) + QStringLiteral("\r\n") + cvarlist + QStringLiteral("\r\n")).toLatin1());

        // A typed command with arguments, sent with Enter, without its outer spaces (the
        // server prints the command's words joined by single spaces).
        QTest::qWait(1100);
        w.txtCommand->setText(QStringLiteral("  echo hello there "));
        QTest::keyClick(w.txtCommand, Qt::Key_Return);
        QVERIFY2(server.waitForOutput(QStringLiteral("Rcon from 127.0.0.1: echo hello there\n")), qPrintable(server.output().right(600)));
        QTRY_VERIFY(w.txtOutput->text().contains(QStringLiteral(" : echo hello there\r\nhello there\r\n")));

        // A wrong password: the server refuses and says so, in its own words.
        QTest::qWait(1100);
        w.txtPassword->setText(QStringLiteral("not-the-password"));
        SendCommand(w, QStringLiteral("status"));
        QTRY_VERIFY_WITH_TIMEOUT(w.txtOutput->text().endsWith(Echo(QStringLiteral("status")) + QStringLiteral("\r\nBad rconpassword.\r\n")), 10000);
        QVERIFY(server.waitForOutput(QStringLiteral("Bad rcon from 127.0.0.1")));
        QVERIFY(!env.readLog().contains("not-the-password"));
        QCOMPARE(errors.size(), 0);
    }
};

QTEST_MAIN(RealPeerTest)
#include "tst_realpeer.moc"
