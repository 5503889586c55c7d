// The log file: the exact bytes of its records, where it is kept, and that it never stops
// the window.
#include "ExchangeRig.h"
#include "Unprivileged.h"

#include "log/LogFile.h"
#include "widgets/Launcher.h"

class LogFileTest : public QObject {
    Q_OBJECT
private slots:
    // Save Log is read at each send and at a reply's first datagram (the rest of the reply
    // follows it); only checked logs, grayed does not. A socket error is a record; a reply
    // still arriving when the window goes gets its end. The time in the echo and the record
    // is the locale's long format less its zone, seconds included (the test runs in a 12-hour
    // locale whose short format has no seconds).
    void records()
    {
        TestEnv env;
        Clock::setFixedTimeForTesting(QTime(14, 5, 9));
        const QLocale locale = QLocale::system();
        const QString withoutZone = locale.timeFormat(QLocale::LongFormat).remove(QStringLiteral(" t"));
        const QByteArray echo = locale.toString(QTime(14, 5, 9), withoutZone).toLatin1() + " : say\r\n";
        LoopbackServer server;
        auto w = std::make_unique<frmMain>();
        AimAt(*w, server.port());
        const struct {
            int atSend, atFirst, atSecond;
            QByteArray logged;
        } steps[] = {{1, 0, 0, echo}, {0, 1, 0, "one\r\ntwo\r\n\r\n"}, {2, 2, 2, ""}};
        QByteArray expected;
        for (int i = 0; i < 3; ++i) {
            ui(w).ckLog->setValue(steps[i].atSend);
            SendCommand(*w, QStringLiteral("say"));
            QVERIFY(server.waitForDatagrams(i + 1));
            QVERIFY(ui(w).txtOutput->text().endsWith(QString::fromLatin1(echo)));
            ui(w).ckLog->setValue(steps[i].atFirst);
            server.reply(PrintReply("one\n"));
            QTRY_VERIFY(ui(w).txtOutput->text().endsWith(QStringLiteral("one\r\n")));
            ui(w).ckLog->setValue(steps[i].atSecond);
            server.reply(PrintReply("two\n"));
            QTRY_VERIFY(!w->session()->replyOpen());
            QCOMPARE(env.readLog(), expected += steps[i].logged);
        }
        AimAt(*w, static_cast<quint16>(FreeUdpPort()));
        for (int logged : {2, 1}) {
            ui(w).ckLog->setValue(logged);
            SendCommand(*w, QStringLiteral("say"));
            QTRY_VERIFY(ui(w).txtOutput->text().endsWith(QStringLiteral("Connection refused\r\n")));
        }
        QCOMPARE(env.readLog(), expected += echo + "Connection refused\r\n\r\n");
        AimAt(*w, server.port());
        SendCommand(*w, QStringLiteral("say"));
        QVERIFY(server.waitForDatagrams(4));
        server.reply(PrintReply("part one\n"));
        QTRY_VERIFY(ui(w).txtOutput->text().endsWith(QStringLiteral("part one\r\n")));
        w.reset();
        QCOMPARE(env.readLog(), expected + echo + "part one\r\n\r\n");
    }

    // What the log holds of secrets and control characters, who may read it, how large it
    // grows, and what the window says when it cannot be written.
    void privateMaskedAndBounded()
    {
        TestEnv env;
        LoopbackServer server;
        // A log an earlier version left readable by everyone: narrowed at the first append.
        QFile old(env.logFile());
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old\r\n") == 5);
        old.close();
        QVERIFY(QFile::setPermissions(env.logFile(), QFile::permissions(env.logFile()) | QFile::ReadOther | QFile::ReadGroup));
        frmMain w;
        ui(w).ckLog->setValue(1);
        AimAt(w, server.port());
        SendCommand(w, QStringLiteral("rconpassword \"new pw\""));
        QVERIFY(server.waitForDatagrams(1));
        QCOMPARE(FileMode(env.logFile()), 0600);

        // cvarlist lines, one of them cut between two datagrams inside its value, then ESC and
        // BEL around a colour code: the pane shows what came, the log masks and spells out.
        server.reply(PrintReply("  U       g_password \"jo"));
        server.reply(PrintReply("inpw\"\n          rconpassword \"s3cret\"\n\x1b[31m^1red\a"));
        QTRY_VERIFY(ui(w).txtOutput->text().contains(QStringLiteral("rconpassword \"new pw\"\r\n  U       g_password \"joinpw\"\r\n")));
        QTRY_VERIFY(!w.session()->replyOpen());
        QByteArray expected = "old\r\n" + Echo(QStringLiteral("rconpassword \"********\"")).toLatin1()
            + "\r\n  U       g_password \"********\"\r\n          rconpassword \"********\"\r\n^[[31m^1red^G\r\n";
        QCOMPARE(env.readLog(), expected);

        // At the size limit the log becomes telmorax.log.1, replacing an older one, and a new
        // one begins, its owner's alone.
        const QString older = env.logFile() + QStringLiteral(".1");
        SetLogSizeLimit(expected.size() + 10);
        QByteArray exchange = LoggedExchange(w, server, 2);
        QTRY_COMPARE(env.readLog(), exchange);
        QCOMPARE(ReadFile(older), expected);
        QCOMPARE(FileMode(env.logFile()), 0600);
        SetLogSizeLimit(exchange.size() + 1);
        expected = exchange;
        exchange = LoggedExchange(w, server, 3);
        QTRY_COMPARE(env.readLog(), exchange);
        QCOMPARE(ReadFile(older), expected);
        SetLogSizeLimit(16 * 1024 * 1024);

        // A log that cannot be written (a folder in its place) is said once in the pane, on a
        // line of its own, until it can be written again; no message box.
        const QString said = QStringLiteral("\r\nThe log %1 cannot be written (").arg(env.logFile());
        const QString lost = QStringLiteral("): its records are lost until it can be written again.\r\n");
        QVERIFY(QFile::remove(env.logFile()) && QDir().mkdir(env.logFile()));
        for (int nth : {4, 5}) {
            LoggedExchange(w, server, nth);
            QTRY_VERIFY(!w.session()->replyOpen());
        }
        QCOMPARE(ui(w).txtOutput->text().count(said), 1);
        QCOMPARE(ui(w).txtOutput->text().count(lost), 1);
        QVERIFY(QDir().rmdir(env.logFile()));
        exchange = LoggedExchange(w, server, 6);
        QTRY_COMPARE(env.readLog(), exchange);
        QVERIFY(QFile::remove(env.logFile()) && QDir().mkdir(env.logFile()));
        LoggedExchange(w, server, 7);
        QTRY_COMPARE(ui(w).txtOutput->text().count(said), 2);
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    // An installed program's folder cannot be written: the log goes to the user's own folder
    // of the program, made private with the first record, and View Log opens it there.
    void perUserLog()
    {
        RUN_UNPRIVILEGED_IF_ROOT();
        TestEnv env;
        QTemporaryDir data;
        qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
        QVERIFY(QFile::setPermissions(env.programFolder(), QFile::ReadOwner | QFile::ExeOwner));
        const QString folder = data.path() + QStringLiteral("/Quillhaven/telmorax"), log = folder + QStringLiteral("/telmorax.log");
        LoopbackServer server;
        frmMain w;
        ui(w).mnuFileViewLog->trigger();
        QCOMPARE(MessageBox::takeShown().value(0).text,
            QStringLiteral("A log file has not been created.  Be sure to enable logging by checking the option in the ADVANCED panel."));
        QByteArray expected = LoggedExchange(w, server, 1);
        QTRY_COMPARE(ReadFile(log), expected);
        expected += LoggedExchange(w, server, 2);
        QTRY_COMPARE(ReadFile(log), expected);
        QCOMPARE(int(QFileInfo(log).permissions() & 0x7777), int(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser));
        QCOMPARE(int(QFileInfo(folder).permissions() & 0x0777), int(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser));
        ui(w).mnuFileViewLog->trigger();
        QCOMPARE(Launcher::takeRequests().value(0).target, log);
    }
};

QTEST_MAIN(LogFileTest)
#include "tst_logfile.moc"
