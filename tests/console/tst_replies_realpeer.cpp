// Long replies from a real Quake 3 engine dedicated server arrive whole, in the pane and in
// the log; a wrong password shows the server's own answer.
#include "../log/ExchangeRig.h"
#include "OpenArenaServer.h"
#include "TestEnv.h"

#include "console/RconDatagram.h"
#include "log/LogFile.h"

#include <QRegularExpression>
#include <QtTest>

class RepliesRealPeerTest : public QObject {
    Q_OBJECT
private:
    // The reply of the window's latest request: what the pane shows after its echo line.
    static QString replyAfterEcho(const QString& pane, const QString& command)
    {
        const QString echo = Echo(command) + QStringLiteral("\r\n");
        const int at = pane.lastIndexOf(echo);
        return at < 0 ? QString() : pane.mid(at + echo.size());
    }

    // The server's own text, asked directly, decoded the way the window decodes it.
    static QString direct(OpenArenaServer& server, const QString& command)
    {
        return DecodeReply(QByteArray("print\n") + server.rcon(command));
    }

private slots:
    void longRepliesArriveWhole()
    {
        TestEnv env;
        Clock::setFixedTimeForTesting(QTime(12, 0, 0));
        OpenArenaServer server(QStringLiteral("s3cret-pw"));
        QVERIFY2(server.start(), qPrintable(server.errorText()));

        frmMain w;
        w.ckLog->setValue(1);
        AimAt(w, server.port(), server.password());

        // serverinfo: two datagrams on a stock server.
        w.Command1->click();
        QTRY_VERIFY_WITH_TIMEOUT(!replyAfterEcho(w.txtOutput->text(), QStringLiteral("serverinfo")).isEmpty(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!w.replyOpen, 10000);  // the reply is over
        const QString serverinfo = replyAfterEcho(w.txtOutput->text(), QStringLiteral("serverinfo"));
        QTest::qWait(1100);
        const QString serverinfoDirect = direct(server, QStringLiteral("serverinfo"));
        QVERIFY(serverinfoDirect.contains(QStringLiteral("\r\nmapname")));
        QVERIFY2(serverinfoDirect.size() > 1000, "serverinfo should take more than one datagram");
        QCOMPARE(serverinfo, serverinfoDirect);

        // cvarlist: about ten datagrams, ending in the server's own count of its variables.
        QTest::qWait(1100);
        SendCommand(w, QStringLiteral("cvarlist"));
        QTRY_VERIFY_WITH_TIMEOUT(replyAfterEcho(w.txtOutput->text(), QStringLiteral("cvarlist")).contains(QStringLiteral("cvar indexes")), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(!w.replyOpen, 10000);
        const QString cvarlist = replyAfterEcho(w.txtOutput->text(), QStringLiteral("cvarlist"));
        QTest::qWait(1100);
        const QString cvarlistDirect = direct(server, QStringLiteral("cvarlist"));
        QVERIFY2(cvarlistDirect.size() > 5000, "cvarlist should take several datagrams");
        const QRegularExpression count(QStringLiteral("\\r\\n(\\d+) total cvars\\r\\n"));
        const QRegularExpressionMatch theirs = count.match(cvarlistDirect);
        const QRegularExpressionMatch ours = count.match(cvarlist);
        QVERIFY(theirs.hasMatch());
        QVERIFY(ours.hasMatch());
        QCOMPARE(ours.captured(1), theirs.captured(1));
        // Every variable line whole: as many lines as the server printed, each one of them.
        const QStringList ourLines = cvarlist.split(QStringLiteral("\r\n"));
        const QStringList theirLines = cvarlistDirect.split(QStringLiteral("\r\n"));
        QCOMPARE(ourLines.size(), theirLines.size());
        int differing = 0;
        for (int i = 0; i < ourLines.size(); ++i)
            differing += ourLines.at(i) != theirLines.at(i);
        QVERIFY2(differing <= 2, qPrintable(QStringLiteral("%1 lines differ").arg(differing)));  // a clock-like value may move
        QVERIFY(ourLines.size() > ours.captured(1).toInt());

        // The log: each reply one record, exactly as shown.
        const QByteArray expected = (Echo(QStringLiteral("serverinfo")) + QStringLiteral("\r\n") + serverinfo + QStringLiteral("\r\n")
            + Echo(QStringLiteral("cvarlist")) + QStringLiteral("\r\n") + cvarlist + QStringLiteral("\r\n")).toLatin1();
        QCOMPARE(env.readLog(), expected);

        // A wrong password: the server's own words.
        QTest::qWait(1100);
        w.txtPassword->setText(QStringLiteral("not-the-password"));
        SendCommand(w, QStringLiteral("status"));
        QTRY_VERIFY_WITH_TIMEOUT(w.txtOutput->text().endsWith(Echo(QStringLiteral("status")) + QStringLiteral("\r\nBad rconpassword.\r\n")), 10000);
        QVERIFY(!env.readLog().contains("not-the-password"));
    }
};

QTEST_MAIN(RepliesRealPeerTest)
#include "tst_replies_realpeer.moc"
