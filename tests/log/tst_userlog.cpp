// Where the program's folder cannot be written (an installed program owned by root), the
// log goes to the user's own folder of the program, and View Log opens it there.
#include "ExchangeRig.h"
#include "LoopbackServer.h"
#include "TestEnv.h"
#include "Unprivileged.h"

#include "log/LogFile.h"
#include "ui/Launcher.h"
#include "ui/MessageBox.h"
#include "settings/ProgramInfo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString NoLogText = QStringLiteral(
    "A log file has not been created.  Be sure to enable logging by checking the option in the ADVANCED panel.");

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// One status exchange with Save Log checked; returns what the log should hold.
QByteArray exchange(frmMain& w, LoopbackServer& server, int nth)
{
    w.ckLog->setValue(1);
    AimAt(w, server.port());
    SendCommand(w, QStringLiteral("status"));
    if (!server.waitForDatagrams(nth))
        return "no request reached the server";
    server.reply(PrintReply("map: oa_dm1\n"));
    return Echo(QStringLiteral("status")).toLatin1() + "\r\nmap: oa_dm1\r\n\r\n";
}
}

class UserLogTest : public QObject {
    Q_OBJECT
private slots:
    void readOnlyProgramFolder()
    {
        RUN_UNPRIVILEGED_IF_ROOT();
        TestEnv env;
        Clock::setFixedTimeForTesting(QTime(8, 30, 0));
        QTemporaryDir data;
        qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
        QVERIFY(QFile::setPermissions(env.programFolder(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup
            | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
        QFile probe(env.programFolder() + QStringLiteral("/probe"));
        QVERIFY2(!probe.open(QIODevice::WriteOnly), "this user can still write in the read-only program folder");

        const QString userLog = data.path() + QStringLiteral("/Quillhaven/telmorax/telmorax.log");
        QVERIFY(!ProgramFolderWritable());
        QCOMPARE(LogFilePath(), userLog);
        QCOMPARE(ProgramLogFilePath(), env.logFile());

        LoopbackServer server;
        frmMain w;
        // No record yet: View Log says so and opens nothing.
        w.mnuFileViewLog->trigger();
        QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().text, NoLogText);
        QCOMPARE(shown.first().title, QStringLiteral("Vantorin Log File"));
        QCOMPARE(shown.first().icon, QMessageBox::Information);
        QCOMPARE(shown.first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(Launcher::takeRequests().isEmpty());
        QVERIFY(!QFileInfo::exists(data.path() + QStringLiteral("/Quillhaven/telmorax")));  // not before the first record

        QByteArray expected = exchange(w, server, 1);
        QTRY_COMPARE(readFile(userLog), expected);
        expected += exchange(w, server, 2);
        QTRY_COMPARE(readFile(userLog), expected);
        QCOMPARE(QDir(env.programFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
        QCOMPARE(QFileInfo(userLog).permissions() & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(QFileInfo(data.path() + QStringLiteral("/Quillhaven/telmorax")).permissions() & 0x7077,
            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        w.mnuFileViewLog->trigger();
        QVERIFY(MessageBox::takeShown().isEmpty());
        const QList<Launcher::Request> launched = Launcher::takeRequests();
        QCOMPARE(launched.size(), 1);
        QCOMPARE(launched.first().kind, Launcher::Request::OpenFile);
        QCOMPARE(launched.first().target, userLog);

        // Without XDG_DATA_HOME the user's folder is under ~/.local/share.
        QTemporaryDir home;
        const QByteArray oldHome = qgetenv("HOME");
        qunsetenv("XDG_DATA_HOME");
        qputenv("HOME", home.path().toLocal8Bit());
        QCOMPARE(LogFilePath(), home.path() + QStringLiteral("/.local/share/Quillhaven/telmorax/telmorax.log"));
        qputenv("HOME", oldHome);
        QFile::setPermissions(env.programFolder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void writableProgramFolder()
    {
        TestEnv env;
        Clock::setFixedTimeForTesting(QTime(8, 30, 0));
        QTemporaryDir data;
        qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
        QVERIFY(ProgramFolderWritable());
        QCOMPARE(LogFilePath(), env.logFile());

        LoopbackServer server;
        frmMain w;
        w.mnuFileViewLog->trigger();
        QCOMPARE(MessageBox::takeShown().size(), 1);
        QVERIFY(Launcher::takeRequests().isEmpty());

        const QByteArray expected = exchange(w, server, 1);
        QTRY_COMPARE(env.readLog(), expected);
        QVERIFY(!QFileInfo::exists(data.path() + QStringLiteral("/Quillhaven")));

        w.mnuFileViewLog->trigger();
        QVERIFY(MessageBox::takeShown().isEmpty());
        const QList<Launcher::Request> launched = Launcher::takeRequests();
        QCOMPARE(launched.size(), 1);
        QCOMPARE(launched.first().target, env.logFile());
        qunsetenv("XDG_DATA_HOME");
    }

    // A program folder whose path has spaces: the editor gets the full path as it is.
    void folderWithSpaces()
    {
        TestEnv env;
        QTemporaryDir base;
        const QString folder = base.path() + QStringLiteral("/My Programs/telmorax");
        QVERIFY(QDir().mkpath(folder));
        ProgramInfo::setProgramFolderForTesting(folder);
        QVERIFY(AppendLogRecord(QStringLiteral("12:00:00 : status")));
        frmMain w;
        w.mnuFileViewLog->trigger();
        const QList<Launcher::Request> launched = Launcher::takeRequests();
        QCOMPARE(launched.size(), 1);
        QCOMPARE(launched.first().target, folder + QStringLiteral("/telmorax.log"));
        QCOMPARE(readFile(launched.first().target), QByteArray("12:00:00 : status\r\n"));
    }
};

QTEST_MAIN(UserLogTest)
#include "tst_userlog.moc"
