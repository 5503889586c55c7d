// The log file: the exact bytes of its records, where it is kept, and that it never stops
// the window.
#include "ExchangeRig.h"
#include "Unprivileged.h"

#include "log/LogFile.h"
#include "ui/Launcher.h"

class LogFileTest : public QObject {
    Q_OBJECT
private slots:
    // Save Log is read at each send and at a reply's first datagram (the rest of the reply
    // follows it); only checked logs, grayed does not. A socket error is a record; a reply
    // still arriving when the window goes gets its end.
    void records()
    {
        TestEnv env;
        LoopbackServer server;
        auto w = std::make_unique<frmMain>();
        AimAt(*w, server.port());
        const struct {
            int atSend, atFirst, atSecond;
            QByteArray logged;
        } steps[] = {{1, 0, 0, Echo("status").toLatin1() + "\r\n"}, {0, 1, 0, "one\r\ntwo\r\n\r\n"}, {2, 2, 2, ""}};
        QByteArray expected;
        for (int i = 0; i < 3; ++i) {
            w->ckLog->setValue(steps[i].atSend);
            SendCommand(*w, QStringLiteral("status"));
            QVERIFY(server.waitForDatagrams(i + 1));
            w->ckLog->setValue(steps[i].atFirst);
            server.reply(PrintReply("one\n"));
            QTRY_VERIFY(w->txtOutput->text().endsWith(QStringLiteral("one\r\n")));
            w->ckLog->setValue(steps[i].atSecond);
            server.reply(PrintReply("two\n"));
            QTRY_VERIFY(!w->replyOpen);
            QCOMPARE(env.readLog(), expected += steps[i].logged);
        }
        AimAt(*w, static_cast<quint16>(FreeUdpPort()));
        for (int logged : {2, 1}) {
            w->ckLog->setValue(logged);
            SendCommand(*w, QStringLiteral("status"));
            QTRY_VERIFY(w->txtOutput->text().endsWith(QStringLiteral("Connection refused\r\n")));
        }
        QCOMPARE(env.readLog(), expected += Echo("status").toLatin1() + "\r\nConnection refused\r\n\r\n");
        AimAt(*w, server.port());
        SendCommand(*w, QStringLiteral("status"));
        QVERIFY(server.waitForDatagrams(4));
        server.reply(PrintReply("part one\n"));
        QTRY_VERIFY(w->txtOutput->text().endsWith(QStringLiteral("part one\r\n")));
        w.reset();
        QCOMPARE(env.readLog(), expected + Echo("status").toLatin1() + "\r\npart one\r\n\r\n");

        // A log that cannot be written (a folder in its place) loses its records silently.
        TestEnv blocked;
        QVERIFY(QDir().mkdir(blocked.logFile()));
        frmMain w2;
        QCOMPARE(LoggedExchange(w2, server, 5), Echo("status").toLatin1() + "\r\nmap: oa_dm1\r\n\r\n");
        QTRY_VERIFY(w2.txtOutput->text().endsWith(QStringLiteral("map: oa_dm1\r\n")));
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
        w.mnuFileViewLog->trigger();
        QCOMPARE(MessageBox::takeShown().value(0).text,
            QStringLiteral("A log file has not been created.  Be sure to enable logging by checking the option in the ADVANCED panel."));
        QByteArray expected = LoggedExchange(w, server, 1);
        QTRY_COMPARE(ReadFile(log), expected);
        expected += LoggedExchange(w, server, 2);
        QTRY_COMPARE(ReadFile(log), expected);
        QCOMPARE(int(QFileInfo(log).permissions() & 0x7777), int(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser));
        QCOMPARE(int(QFileInfo(folder).permissions() & 0x0777), int(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser));
        w.mnuFileViewLog->trigger();
        QCOMPARE(Launcher::takeRequests().value(0).target, log);
    }
};

QTEST_MAIN(LogFileTest)
#include "tst_logfile.moc"
