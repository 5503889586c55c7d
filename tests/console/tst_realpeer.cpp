// The window against a real Quake 3 engine dedicated server on loopback: the server runs what
// the window sends, a long reply arrives whole in the pane and in the log, and a wrong password
// shows the server's own answer.
#include "../log/ExchangeRig.h"
#include "OpenArenaServer.h"

#include "console/RconDatagram.h"
#include "console/ServerExchange.h"

#include <QProcess>


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
        ui(w).Command2->click();
        QVERIFY2(server.waitForOutput(QStringLiteral("Rcon from 127.0.0.1: status")), qPrintable(server.output().right(500)));
        QTRY_VERIFY(ui(w).txtOutput->text().contains(QStringLiteral("map: oa_dm1")));
        QVERIFY(w.session()->listening()->boundLocalPort() != server.port());

        // cvarlist: about ten datagrams. As many lines as the server prints when asked directly,
        // its own count of variables last; the log record the same as the pane.
        ui(w).ckLog->setValue(1);
        ui(w).txtOutput->setText(QString());
        SendCommand(w, QStringLiteral("cvarlist"));
        QTRY_VERIFY_WITH_TIMEOUT(ui(w).txtOutput->text().contains(QStringLiteral(" total cvars\r\n")), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(!w.session()->replyOpen(), 10000);
        QTest::qWait(1100);  // the server answers about one request a second after a short burst
        const QStringList ours = ui(w).txtOutput->text().split(QStringLiteral("\r\n"));
        const QStringList theirs = DecodeReply("print\n" + server.rcon(QStringLiteral("cvarlist"))).split(QStringLiteral("\r\n"));
        QVERIFY2(theirs.size() > 200, "cvarlist should take several datagrams");
        QCOMPARE(ours.size(), theirs.size() + 1);  // and the echo line
        QCOMPARE(ours[ours.size() - 2], theirs[theirs.size() - 2]);
        // The log as the pane, but for the password's value.
        QVERIFY(ui(w).txtOutput->text().contains(QStringLiteral(" rconpassword \"s3cret-pw\"\r\n")));
        QCOMPARE(env.readLog(), QString(ui(w).txtOutput->text() + QStringLiteral("\r\n")).replace(QStringLiteral("s3cret-pw"), QStringLiteral("********")).toLatin1());

        // A wrong password: the server refuses, in its own words.
        QTest::qWait(1100);
        ui(w).txtPassword->setText(QStringLiteral("not-the-password"));
        SendCommand(w, QStringLiteral("status"));
        QTRY_VERIFY(ui(w).txtOutput->text().endsWith(Echo(QStringLiteral("status")) + QStringLiteral("\r\nBad rconpassword.\r\n")));
        QVERIFY(server.waitForOutput(QStringLiteral("Bad rcon from 127.0.0.1")));
    }

    // 15 commands typed faster than the server takes them: the ones over its limit wait, with
    // a line that says so, and all 15 are run and answered, in order. A command-line run of 8
    // more four seconds later, while the window's last ones still wait, spends the same
    // allowance (the runs share it through the runtime folder): all 23 are run. A command still
    // waiting when the window closes is never sent and never logged.
    void commandsOverTheServersLimitWait()
    {
        TestEnv env;
        OpenArenaServer server(QStringLiteral("s3cret-pw"));
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        frmMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        AimAt(w, server.port(), server.password());
        ui(w).ckLog->setValue(1);
        ui(w).txtCommand->clear();
        QStringList answers;
        for (int i = 1; i <= 15; ++i) {
            QTest::keyClicks(ui(w).txtCommand, QStringLiteral("say n%1").arg(i));
            QTest::keyClick(ui(w).txtCommand, Qt::Key_Return);
            answers << QStringLiteral("console: n%1").arg(i);
        }
        QTest::qWait(4000);
        QProcess cli;
        QProcessEnvironment cliEnv = QProcessEnvironment::systemEnvironment();
        cliEnv.insert(QStringLiteral("TELMORAX_PASSWORD"), server.password());
        cli.setProcessEnvironment(cliEnv);
        QStringList arguments;
        for (int i = 1; i <= 8; ++i)
            arguments << QStringLiteral("--send") << QStringLiteral("say c%1").arg(i);
        cli.start(QCoreApplication::applicationDirPath() + QStringLiteral("/telmorax"), arguments << QStringLiteral("127.0.0.1:%1").arg(server.port()));
        const auto lines = [&w] { return ui(w).txtOutput->text().split(QStringLiteral("\r\n")); };
        QTRY_VERIFY_WITH_TIMEOUT(lines().filter(QRegularExpression(QStringLiteral("^console: n\\d+$"))) == answers, 40000);
        QTRY_VERIFY_WITH_TIMEOUT(cli.state() == QProcess::NotRunning, 40000);
        QCOMPARE(cli.exitCode(), 0);
        QCOMPARE(server.output().count(QStringLiteral("Rcon from 127.0.0.1: say n")), 15);
        QCOMPARE(server.output().count(QStringLiteral("Rcon from 127.0.0.1: say c")), 8);
        const QStringList shown = lines();
        QCOMPARE(shown.filter(QStringLiteral(" : say n")).size(), 15);
        // Each waiting command's line follows its echo, before any answer.
        const int firstAnswer = shown.indexOf(answers.first());
        int waited = 0;
        for (int i = 1; i < shown.size(); ++i) {
            if (shown[i].startsWith(QStringLiteral("(waiting "))) {
                QVERIFY2(shown[i].endsWith(QStringLiteral(" s for the server's request limit)")), qPrintable(shown[i]));
                QVERIFY2(shown[i - 1].startsWith(Echo(QStringLiteral("say n"))) && i < firstAnswer, qPrintable(shown[i - 1]));
                ++waited;
            }
        }
        QVERIFY(waited > 0);

        // Ten more at once: eight go, the last ones wait, and closing the window drops them.
        for (int i = 1; i <= 10; ++i)
            SendCommand(w, QStringLiteral("echo late%1").arg(i));
        QVERIFY(ui(w).txtOutput->text().endsWith(QStringLiteral(" s for the server's request limit)\r\n")));
        w.close();
        QTest::qWait(1500);
        QVERIFY(!server.output().contains(QStringLiteral("echo late10")));
        const QByteArray log = env.readLog();
        QVERIFY(log.contains("say n15\r\n") && log.contains("\r\nconsole: n15\r\n"));
        QVERIFY(!log.contains("late10"));
    }
};

QTEST_MAIN(RealPeerTest)
#include "tst_realpeer.moc"
