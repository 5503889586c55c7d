// Where the program's folder cannot be written (an installed program owned by root), the
// log goes to the user's own folder of the program, and View Log opens it there.
#include "ExchangeRig.h"
#include "TestEnv.h"
#include "Unprivileged.h"

#include "log/LogFile.h"
#include "ui/Launcher.h"
#include "ui/MessageBox.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// View Log: either its message (nothing opened) or the editor on `path` (no message).
void viewLogOpens(frmMain& w, const QString& path)
{
    w.mnuFileViewLog->trigger();
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    const QList<Launcher::Request> launched = Launcher::takeRequests();
    if (path.isEmpty()) {
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().text, QStringLiteral("A log file has not been created.  Be sure to enable logging by "
                                                    "checking the option in the ADVANCED panel."));
        QCOMPARE(shown.first().title, QStringLiteral("Vantorin Log File"));
        QCOMPARE(shown.first().icon, QMessageBox::Information);
        QVERIFY(launched.isEmpty());
    } else {
        QVERIFY(shown.isEmpty());
        QCOMPARE(launched.size(), 1);
        QCOMPARE(launched.first().kind, Launcher::Request::OpenFile);
        QCOMPARE(launched.first().target, path);
    }
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

        const QString userFolder = data.path() + QStringLiteral("/Quillhaven/telmorax");
        const QString userLog = userFolder + QStringLiteral("/telmorax.log");
        QVERIFY(!ProgramFolderWritable());
        QCOMPARE(LogFilePath(), userLog);

        LoopbackServer server;
        frmMain w;
        viewLogOpens(w, QString());  // no record yet
        QVERIFY(!QFileInfo::exists(userFolder));  // not before the first record

        QByteArray expected = LoggedExchange(w, server, 1);
        QTRY_COMPARE(ReadFile(userLog), expected);
        expected += LoggedExchange(w, server, 2);
        QTRY_COMPARE(ReadFile(userLog), expected);
        QCOMPARE(QDir(env.programFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
        QCOMPARE(QFileInfo(userLog).permissions() & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(QFileInfo(userFolder).permissions() & 0x7077, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        viewLogOpens(w, userLog);

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

        LoopbackServer server;
        frmMain w;
        viewLogOpens(w, QString());
        const QByteArray expected = LoggedExchange(w, server, 1);
        QTRY_COMPARE(env.readLog(), expected);
        QVERIFY(!QFileInfo::exists(data.path() + QStringLiteral("/Quillhaven/telmorax/telmorax.log")));
        viewLogOpens(w, env.logFile());
        qunsetenv("XDG_DATA_HOME");
    }
};

QTEST_MAIN(UserLogTest)
#include "tst_userlog.moc"
