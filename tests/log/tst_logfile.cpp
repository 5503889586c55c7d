// The log file: its place, the exact bytes of its records, and that it never stops the window.
#include "ExchangeRig.h"
#include "TestEnv.h"
#include "Unprivileged.h"

#include "log/LogFile.h"
#include "ui/MessageBox.h"

#include <QDir>
#include <QtTest>

#include <memory>

class LogFileTest : public QObject {
    Q_OBJECT
private slots:
    void checkPathAndPlace()
    {
        const QList<QPair<QString, QString>> cases = {{QString(), QString()},
            {QStringLiteral("/opt/telmorax"), QStringLiteral("/opt/telmorax/")},
            {QStringLiteral("/opt/telmorax/"), QStringLiteral("/opt/telmorax/")}, {QStringLiteral("/"), QStringLiteral("/")}};
        for (const auto& c : cases)
            QCOMPARE(CheckPath(c.first), c.second);
        TestEnv env;
        QCOMPARE(LogFilePath(), env.programFolder() + QStringLiteral("/telmorax.log"));
    }

    // Records written through the log's own interface, byte for byte: every part of a reply
    // reaches the file as it comes, its end comes once, before the next record of any kind.
    void recordsAndOpenReplyRecord()
    {
        TestEnv env;
        QVERIFY(AppendLogRecord(QStringLiteral("14:05:09 : status")));
        QVERIFY(BeginOrContinueReplyRecord(QStringLiteral("first li")));
        QCOMPARE(env.readLog(), QByteArray("14:05:09 : status\r\nfirst li"));
        QVERIFY(BeginOrContinueReplyRecord(QStringLiteral("ne\r\n")));
        QVERIFY(AppendLogRecord(QStringLiteral("Connection refused\r\n")));
        QVERIFY(!IsReplyRecordOpen());
        EndOpenRecord();  // none open: nothing written
        // A NUL and the whole 8-bit range are one byte each.
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all += char(b);
        QVERIFY(BeginOrContinueReplyRecord(QString::fromLatin1(all)));
        EndOpenRecord();
        EndOpenRecord();
        QCOMPARE(env.readLog(), "14:05:09 : status\r\nfirst line\r\n\r\nConnection refused\r\n\r\n" + all + "\r\n");
    }

    // One send of status with a reply of two lines, then a long reply in three datagrams
    // (a line cut between two of them), then a reply cut short by the window closing:
    // command record, reply lines, empty line; the long reply is one record.
    void exactBytesOfExchanges()
    {
        TestEnv env;
        Clock::setFixedTimeForTesting(QTime(14, 5, 9));
        LoopbackServer server;
        auto w = std::make_unique<frmMain>();
        w->ckLog->setValue(1);
        AimAt(*w, server.port());
        SendCommand(*w, QStringLiteral("status"));
        QVERIFY(server.waitForDatagrams(1));
        server.reply(PrintReply("map: oa_dm1\nnum score ping name\n"));
        QByteArray expected = Echo(QStringLiteral("status")).toLatin1() + "\r\nmap: oa_dm1\r\nnum score ping name\r\n\r\n";
        QTRY_COMPARE(env.readLog(), expected);  // the record end comes once the reply is over

        SendCommand(*w, QStringLiteral("cvarlist"));
        QVERIFY(server.waitForDatagrams(2));
        server.reply(PrintReply("S     sv_hostname \"noname\"\nS     g_gam"));
        server.reply(PrintReply("etype \"0\"\n"));
        server.reply(PrintReply("2 total cvars\n"));
        expected += Echo(QStringLiteral("cvarlist")).toLatin1()
            + "\r\nS     sv_hostname \"noname\"\r\nS     g_gametype \"0\"\r\n2 total cvars\r\n\r\n";
        QTRY_COMPARE(env.readLog(), expected);

        SendCommand(*w, QStringLiteral("status"));
        QVERIFY(server.waitForDatagrams(3));
        server.reply(PrintReply("part one\n"));
        QTRY_VERIFY(w->txtOutput->text().endsWith(QStringLiteral("part one\r\n")));
        w.reset();
        QCOMPARE(env.readLog(), expected + Echo(QStringLiteral("status")).toLatin1() + "\r\npart one\r\n\r\n");
    }

    // A socket error: grayed Save Log writes no file at all; checked, the error record.
    void socketErrorRecord()
    {
        TestEnv env;
        Clock::setFixedTimeForTesting(QTime(14, 5, 9));
        frmMain w;
        AimAt(w, static_cast<quint16>(FreeUdpPort()));  // nothing listens there
        w.ckLog->setValue(2);
        SendCommand(w, QStringLiteral("status"));
        QTRY_VERIFY(w.txtOutput->text().endsWith(QStringLiteral("Connection refused\r\n")));
        QVERIFY(!QFile::exists(env.logFile()));
        w.ckLog->setValue(1);
        SendCommand(w, QStringLiteral("status"));
        QTRY_COMPARE(env.readLog(), Echo(QStringLiteral("status")).toLatin1() + "\r\nConnection refused\r\n\r\n");
    }

    // Save Log counts when the first datagram of a reply arrives, and only checked (1) logs.
    void logCheckBoxDecides()
    {
        TestEnv env;
        Clock::setFixedTimeForTesting(QTime(14, 5, 9));
        LoopbackServer server;
        frmMain w;
        AimAt(w, server.port());
        struct Step {
            QString command;
            int atSend, atFirst, atSecond;  // Save Log at the send and at each datagram
            QByteArray logged;
        };
        const QList<Step> steps = {
            {QStringLiteral("status"), 1, 0, 0, Echo(QStringLiteral("status")).toLatin1() + "\r\n"},
            {QStringLiteral("serverinfo"), 0, 1, 0, "one\r\ntwo\r\n\r\n"},
            {QStringLiteral("status"), 2, 2, 2, ""},  // grayed is not checked
        };
        QByteArray expected;
        for (int i = 0; i < steps.size(); ++i) {
            const Step& s = steps.at(i);
            w.ckLog->setValue(s.atSend);
            SendCommand(w, s.command);
            QVERIFY(server.waitForDatagrams(i + 1));
            w.ckLog->setValue(s.atFirst);
            server.reply(PrintReply("one\n"));
            QTRY_VERIFY(w.txtOutput->text().endsWith(QStringLiteral("one\r\n")));
            w.ckLog->setValue(s.atSecond);  // the second datagram follows the first one's decision
            server.reply(PrintReply("two\n"));
            QTRY_VERIFY(w.txtOutput->text().endsWith(QStringLiteral("two\r\n")));
            QTRY_VERIFY(!w.replyOpen);
            expected += s.logged;
            QCOMPARE(env.readLog(), expected);
        }
    }

    // A read-only log file, or a folder in its place, loses its records silently; the pane
    // goes on. Run as a user that cannot write through the permissions.
    void unwritableLogLosesRecordsSilently()
    {
        RUN_UNPRIVILEGED_IF_ROOT();
        for (const bool folder : {false, true}) {
            TestEnv env;
            Clock::setFixedTimeForTesting(QTime(14, 5, 9));
            if (folder) {
                QVERIFY(QDir().mkdir(env.logFile()));
            } else {
                QFile f(env.logFile());
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.write("old\r\n");
                f.close();
                QVERIFY(QFile::setPermissions(env.logFile(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
                QVERIFY2(!f.open(QIODevice::WriteOnly | QIODevice::Append), "this user can still write the read-only log");
            }
            LoopbackServer server;
            frmMain w;
            w.ckLog->setValue(1);
            AimAt(w, server.port());
            for (int i = 1; i <= 2; ++i) {
                SendCommand(w, QStringLiteral("status"));
                QVERIFY(server.waitForDatagrams(i));
                server.reply(PrintReply("one\n"));
                server.reply(PrintReply("two\n"));
                QTRY_COMPARE(w.txtOutput->text().count(Echo(QStringLiteral("status")) + QStringLiteral("\r\none\r\ntwo\r\n")), i);
                QTRY_VERIFY(!w.replyOpen);
            }
            QVERIFY(MessageBox::takeShown().isEmpty());
            if (folder)
                QVERIFY(QFileInfo(env.logFile()).isDir());
            else
                QCOMPARE(env.readLog(), QByteArray("old\r\n"));
        }
    }
};

QTEST_MAIN(LogFileTest)
#include "tst_logfile.moc"
