// The log file: its place, the exact bytes of its records, and that it never stops the window.
#include "ExchangeRig.h"
#include "LoopbackServer.h"
#include "TestEnv.h"
#include "Unprivileged.h"

#include "console/UdpClient.h"
#include "log/LogFile.h"
#include "ui/MessageBox.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <memory>

class LogFileTest : public QObject {
    Q_OBJECT
private slots:
    void checkPathAndPlace()
    {
        QCOMPARE(CheckPath(QString()), QString());
        QCOMPARE(CheckPath(QStringLiteral("/opt/telmorax")), QStringLiteral("/opt/telmorax/"));
        QCOMPARE(CheckPath(QStringLiteral("/opt/telmorax/")), QStringLiteral("/opt/telmorax/"));
        QCOMPARE(CheckPath(QStringLiteral("/")), QStringLiteral("/"));
        QCOMPARE(CheckPath(QStringLiteral("/my tools")), QStringLiteral("/my tools/"));
        TestEnv env;
        Clock::setFixedTimeForTesting(QTime(14, 5, 9));
        frmMain w;
        QCOMPARE(w.CheckPath(QStringLiteral("/a")), QStringLiteral("/a/"));
        QCOMPARE(LogFilePath(), env.programFolder() + QStringLiteral("/telmorax.log"));
    }

    // Records written through the log's own interface, byte for byte.
    void recordsAndOpenReplyRecord()
    {
        TestEnv env;
        Clock::setFixedTimeForTesting(QTime(14, 5, 9));
        QVERIFY(AppendLogRecord(QStringLiteral("14:05:09 : status")));
        QCOMPARE(env.readLog(), QByteArray("14:05:09 : status\r\n"));

        // Every part reaches the file as it comes; the end comes once.
        QVERIFY(!IsReplyRecordOpen());
        QVERIFY(BeginOrContinueReplyRecord(QStringLiteral("first li")));
        QVERIFY(IsReplyRecordOpen());
        QCOMPARE(env.readLog(), QByteArray("14:05:09 : status\r\nfirst li"));
        QVERIFY(BeginOrContinueReplyRecord(QStringLiteral("ne\r\n\xe9\xff\r\n")));
        QCOMPARE(env.readLog(), QByteArray("14:05:09 : status\r\nfirst line\r\n\xe9\xff\r\n"));
        // The next record of any kind ends the open one first.
        QVERIFY(AppendLogRecord(QStringLiteral("Connection refused\r\n")));
        QVERIFY(!IsReplyRecordOpen());
        QCOMPARE(env.readLog(), QByteArray("14:05:09 : status\r\nfirst line\r\n\xe9\xff\r\n\r\nConnection refused\r\n\r\n"));

        EndOpenRecord();  // none open: nothing written
        QVERIFY(BeginOrContinueReplyRecord(QStringLiteral("x\r\n")));
        EndOpenRecord();
        EndOpenRecord();
        QCOMPARE(env.readLog(), QByteArray("14:05:09 : status\r\nfirst line\r\n\xe9\xff\r\n\r\nConnection refused\r\n\r\nx\r\n\r\n"));

        // A NUL and the whole 8-bit range are one byte each.
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all += char(b);
        QVERIFY(BeginOrContinueReplyRecord(QString::fromLatin1(all)));
        EndOpenRecord();
        QVERIFY(env.readLog().endsWith(all + "\r\n"));
    }

    // One send of status with a reply of two lines, then a long reply in three datagrams
    // (a line cut between two of them): command record, reply lines, empty line; the long
    // reply is one record.
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
        QTRY_VERIFY(w->txtOutput->text().endsWith(QStringLiteral("ping name\r\n")));
        const QByteArray first = Echo(QStringLiteral("status")).toLatin1() + "\r\nmap: oa_dm1\r\nnum score ping name\r\n\r\n";
        QTRY_COMPARE(env.readLog(), first);  // the record end comes once the reply is over

        SendCommand(*w, QStringLiteral("cvarlist"));
        QVERIFY(server.waitForDatagrams(2));
        server.reply(PrintReply("S     sv_hostname \"noname\"\nS     g_gam"));
        server.reply(PrintReply("etype \"0\"\n"));
        server.reply(PrintReply("2 total cvars\n"));
        QTRY_VERIFY(w->txtOutput->text().endsWith(QStringLiteral("2 total cvars\r\n")));
        QVERIFY(w->txtOutput->text().contains(QStringLiteral("\r\nS     g_gametype \"0\"\r\n")));
        const QByteArray second = Echo(QStringLiteral("cvarlist")).toLatin1()
            + "\r\nS     sv_hostname \"noname\"\r\nS     g_gametype \"0\"\r\n2 total cvars\r\n";
        QTRY_COMPARE(env.readLog(), first + second + "\r\n");

        // A reply cut short by the window going away still gets its record end.
        SendCommand(*w, QStringLiteral("status"));
        QVERIFY(server.waitForDatagrams(3));
        server.reply(PrintReply("part one\n"));
        QTRY_VERIFY(w->txtOutput->text().endsWith(QStringLiteral("part one\r\n")));
        w.reset();
        QCOMPARE(env.readLog(), first + second + "\r\n" + Echo(QStringLiteral("status")).toLatin1() + "\r\npart one\r\n\r\n");
        QVERIFY(!IsReplyRecordOpen());
    }

    void socketErrorRecord()
    {
        TestEnv env;
        Clock::setFixedTimeForTesting(QTime(14, 5, 9));
        frmMain w;
        w.ckLog->setValue(1);
        AimAt(w, static_cast<quint16>(FreeUdpPort()));  // nothing listens there
        SendCommand(w, QStringLiteral("status"));
        QTRY_VERIFY(w.txtOutput->text().endsWith(QStringLiteral("Connection refused\r\n")));
        QCOMPARE(env.readLog(), Echo(QStringLiteral("status")).toLatin1() + "\r\nConnection refused\r\n\r\n");
        QVERIFY(!env.readLog().contains("pw"));  // the password never reaches the log
    }

    // Save Log counts when the first datagram of a reply arrives, and only checked (1) logs.
    void logCheckBoxDecides()
    {
        TestEnv env;
        Clock::setFixedTimeForTesting(QTime(14, 5, 9));
        LoopbackServer server;
        frmMain w;
        AimAt(w, server.port());

        w.ckLog->setValue(1);
        SendCommand(w, QStringLiteral("status"));
        QVERIFY(server.waitForDatagrams(1));
        w.ckLog->setValue(0);
        server.reply(PrintReply("dropped\n"));
        QTRY_VERIFY(w.txtOutput->text().endsWith(QStringLiteral("dropped\r\n")));
        QTRY_VERIFY(!w.replyOpen);
        QByteArray expected = Echo(QStringLiteral("status")).toLatin1() + "\r\n";
        QCOMPARE(env.readLog(), expected);

        SendCommand(w, QStringLiteral("serverinfo"));
        QVERIFY(server.waitForDatagrams(2));
        w.ckLog->setValue(1);
        server.reply(PrintReply("kept\n"));
        QTRY_VERIFY(w.txtOutput->text().endsWith(QStringLiteral("kept\r\n")));
        // A second datagram of the same reply follows the first one's decision, whatever
        // the check box says by then.
        w.ckLog->setValue(0);
        server.reply(PrintReply("kept too\n"));
        QTRY_VERIFY(w.txtOutput->text().endsWith(QStringLiteral("kept too\r\n")));
        expected += "kept\r\nkept too\r\n\r\n";
        QTRY_COMPARE(env.readLog(), expected);

        // Grayed is not checked: nothing of a whole exchange is written.
        w.ckLog->setValue(2);
        SendCommand(w, QStringLiteral("status"));
        QVERIFY(server.waitForDatagrams(3));
        server.reply(PrintReply("grayed\n"));
        QTRY_VERIFY(w.txtOutput->text().endsWith(QStringLiteral("grayed\r\n")));
        QTRY_VERIFY(!w.replyOpen);
        QCOMPARE(env.readLog(), expected);
    }

    // Grayed from the start: no log file at all, even for a socket error.
    void grayedWritesNoFile()
    {
        TestEnv env;
        Clock::setFixedTimeForTesting(QTime(14, 5, 9));
        frmMain w;
        w.ckLog->setValue(2);
        AimAt(w, static_cast<quint16>(FreeUdpPort()));
        SendCommand(w, QStringLiteral("status"));
        QTRY_VERIFY(w.txtOutput->text().endsWith(QStringLiteral("Connection refused\r\n")));
        QVERIFY(!QFile::exists(env.logFile()));
    }

    // A log that cannot be written loses its records, silently; the pane goes on.
    void unwritableLogLosesRecordsSilently()
    {
        RUN_UNPRIVILEGED_IF_ROOT();
        TestEnv env;
        Clock::setFixedTimeForTesting(QTime(14, 5, 9));
        {
            QFile f(env.logFile());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("old\r\n");
        }
        QVERIFY(QFile::setPermissions(env.logFile(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        QFile probe(env.logFile());
        QVERIFY2(!probe.open(QIODevice::WriteOnly | QIODevice::Append), "this user can still write the read-only log");
        exchangeGoesOn(env);
        QCOMPARE(env.readLog(), QByteArray("old\r\n"));
    }

    void folderInPlaceOfLog()
    {
        TestEnv env;
        Clock::setFixedTimeForTesting(QTime(14, 5, 9));
        QVERIFY(QDir().mkdir(env.logFile()));
        exchangeGoesOn(env);
        QVERIFY(QFileInfo(env.logFile()).isDir());
    }

private:
    void exchangeGoesOn(TestEnv& env)
    {
        Q_UNUSED(env);
        LoopbackServer server;
        frmMain w;
        w.ckLog->setValue(1);
        AimAt(w, server.port());
        SendCommand(w, QStringLiteral("status"));
        QVERIFY(server.waitForDatagrams(1));
        server.reply(PrintReply("one\n"));
        server.reply(PrintReply("two\n"));
        QTRY_COMPARE(w.txtOutput->text(), Echo(QStringLiteral("status")) + QStringLiteral("\r\none\r\ntwo\r\n"));
        QCOMPARE(w.txtCommand->text(), QString());
        QTRY_VERIFY(!w.replyOpen);
        // The exchange after the lost records works as before.
        SendCommand(w, QStringLiteral("serverinfo"));
        QVERIFY(server.waitForDatagrams(2));
        server.reply(PrintReply("three\n"));
        QTRY_VERIFY(w.txtOutput->text().endsWith(QStringLiteral("serverinfo\r\nthree\r\n")));
        QVERIFY(MessageBox::takeShown().isEmpty());
    }
};

QTEST_MAIN(LogFileTest)
#include "tst_logfile.moc"
