// Odd files in the user's folders, through the real window: FIFOs in place of the settings
// file, the recall file, a names file and the log, a settings file of 500 MB, files that are
// symbolic links, a data folder that is not the user's alone. The window opens and works as
// with no file, and nothing is read through, written to or changed in what it must not touch.
#include "../log/ExchangeRig.h"

#include "completion/CommandCompletion.h"
#include "completion/NameLists.h"
#include "console/ServerList.h"
#include "settings/SettingsStore.h"
#include "settings/UserDataFolder.h"

#include <QDir>

#include <sys/stat.h>
#include <unistd.h>

namespace {
bool isFifo(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
}

bool makeFifo(const QString& path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

const QByteArray Names = "telmorax names 1\n[commands]\nsecretcmd\n[variables]\n";

// View, Refresh Names From Server against a stand-in that knows one command and one variable.
void refreshNames(frmMain& w, LoopbackServer& server)
{
    const int before = server.received().size();
    ui(w).mnuViewRefreshNames->trigger();
    QVERIFY(server.waitForDatagrams(before + 1));
    server.reply(PrintReply("kick\n1 commands\n"));
    QVERIFY(server.waitForDatagrams(before + 2, 10000));
    server.reply(PrintReply("S     g_x \"1\"\n1 total cvars\n"));
    QTRY_VERIFY_WITH_TIMEOUT(!ui(w).txtOutput->text().endsWith(QStringLiteral("cvarlist\r\n"))
            && ui(w).txtOutput->text().contains(QStringLiteral("names learned"), Qt::CaseInsensitive),
        10000);
}
}

class OwnFilesTest : public QObject {
    Q_OBJECT
private slots:
    void oddFilesLeftAlone()
    {
        // Opening a FIFO waits for a writer for ever: should the window do so again, the alarm
        // ends this test as a failure instead of leaving it hanging.
        ::alarm(300);
        {
            TestEnv env;
            LoopbackServer server;
            QVERIFY(QDir().mkpath(QFileInfo(env.settingsFile()).absolutePath()) && MakeUserDataFolder());
            const QString recall = UserDataFolder() + QStringLiteral("/recall.txt");
            const QString names = UserDataFolder() + QLatin1Char('/') + NameFileName(QStringLiteral("127.0.0.1"), server.port());
            QVERIFY(makeFifo(env.settingsFile()) && makeFifo(recall) && makeFifo(names) && makeFifo(env.logFile()));
            QFile::copy(qEnvironmentVariable("TELMORAX_SOURCE_DIR") + QStringLiteral("/data/commands.txt"),
                env.programFolder() + QStringLiteral("/commands.txt"));
            {
                frmMain w;
                w.show();
                QVERIFY(QTest::qWaitForWindowActive(&w));
                QCOMPARE(ui(w).txtPort->currentText(), QStringLiteral("27960"));
                AimAt(w, server.port());
                ui(w).ckLog->setValue(1);
                QVERIFY(w.completion()->currentNames().commands.contains(QStringLiteral("status")));  // the reference list
                SendCommand(w, QStringLiteral("status"));
                QVERIFY(server.waitForDatagrams(1));
                w.close();
            }
            FlushSettings();
            QVERIFY(isFifo(env.settingsFile()) && isFifo(recall) && isFifo(names) && isFifo(env.logFile()));

            // The list of servers: a FIFO there is neither read, nor moved aside, nor replaced.
            const QString list = UserDataFolder() + QLatin1Char('/') + ServerListFileName;
            QVERIFY(makeFifo(list));
            const LoadedServerList loaded = LoadServerList();
            QVERIFY(loaded.servers.isEmpty() && !loaded.mayWrite && loaded.notice.contains(list));
            QVERIFY(!SaveServerList({SavedServer()}) && isFifo(list));

            // A names file of 500 000 commands (4.5 MB) is read up to 4 MB and 20 000 names.
            QByteArray many = "telmorax names 1\n[commands]\n";
            for (int i = 1; i <= 500000; ++i)
                many += "c" + QByteArray::number(i).rightJustified(7, '0') + "\n";
            QVERIFY(writeFile(UserDataFolder() + QLatin1Char('/') + NameFileName(QStringLiteral("127.0.0.1"), 1), many + "[variables]\n"));
            {
                frmMain w;
                AimAt(w, 1);
                const QStringList commands = w.completion()->currentNames().commands;
                QCOMPARE(commands.size(), MaxNamesOfEachKind);
                QCOMPARE(commands.constLast(), QStringLiteral("c0020000"));
            }

            // A settings file of 500 MB (a sparse one) is not read, nor written.
            QVERIFY(QFile::remove(env.settingsFile()) && writeFile(env.settingsFile(), "[telmorax]\nSettings\\ServerPort=1234\n"));
            QVERIFY(QFile::resize(env.settingsFile(), 500LL * 1024 * 1024));
            {
                frmMain w;
                QCOMPARE(ui(w).txtPort->currentText(), QStringLiteral("27960"));
                ui(w).txtPort->setEditText(QStringLiteral("27961"));
                w.close();
            }
            FlushSettings();
            QCOMPARE(QFileInfo(env.settingsFile()).size(), 500LL * 1024 * 1024);

            // Links in place of the settings file and a names file: not read through, and
            // what they point to is left as it was.
            QTemporaryDir elsewhere;
            const QString settingsTarget = elsewhere.filePath(QStringLiteral("settings.ini"));
            const QString namesTarget = elsewhere.filePath(QStringLiteral("names.txt"));
            QVERIFY(writeFile(settingsTarget, "[telmorax]\nSettings\\ServerPort=1234\n") && writeFile(namesTarget, Names));
            QVERIFY(QFile::remove(env.settingsFile()) && QFile::link(settingsTarget, env.settingsFile()));
            QVERIFY(QFile::remove(names) && QFile::link(namesTarget, names));
            {
                frmMain w;
                QCOMPARE(ui(w).txtPort->currentText(), QStringLiteral("27960"));
                AimAt(w, server.port());
                QVERIFY(!w.completion()->currentNames().commands.contains(QStringLiteral("secretcmd")));
                refreshNames(w, server);
                QVERIFY2(ui(w).txtOutput->text().endsWith(QStringLiteral("No names learned: they could not be kept in %1.\r\n").arg(UserDataFolder())),
                    qPrintable(ui(w).txtOutput->text()));
                w.close();
            }
            FlushSettings();
            QCOMPARE(ReadFile(settingsTarget), QByteArray("[telmorax]\nSettings\\ServerPort=1234\n"));
            QCOMPARE(ReadFile(namesTarget), Names);
            QVERIFY(QFileInfo(env.settingsFile()).isSymLink() && QFileInfo(names).isSymLink());
        }

        // The data folder a link to a folder of another user, or a folder others may write
        // in: nothing is read from it or written to it, and the window says so once.
        for (const bool othersFolder : {true, false}) {
            TestEnv env;
            LoopbackServer server;
            QTemporaryDir elsewhere;
            const QByteArray folder = QFile::encodeName(elsewhere.path());
            if (othersFolder)
                QVERIFY(::chown(folder.constData(), 65534, 65534) == 0);  // nobody
            else
                QVERIFY(::chmod(folder.constData(), 0770) == 0);
            QVERIFY(writeFile(elsewhere.filePath(QStringLiteral("recall.txt")), "telmorax recall 1\nkick planted\n"));
            QVERIFY(QDir().mkpath(QFileInfo(UserDataFolder()).absolutePath()) && QFile::link(elsewhere.path(), UserDataFolder()));
            frmMain w;
            QVERIFY(w.recall().commands().isEmpty());
            AimAt(w, server.port());
            SendCommand(w, QStringLiteral("status"));
            QVERIFY(server.waitForDatagrams(1));
            FlushSettings();
            refreshNames(w, server);
            QCOMPARE(QDir(elsewhere.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden), QStringList({"recall.txt"}));
            QCOMPARE(ReadFile(elsewhere.filePath(QStringLiteral("recall.txt"))), QByteArray("telmorax recall 1\nkick planted\n"));
            QCOMPARE(ui(w).txtOutput->text().count(QStringLiteral("The folder %1 is not used").arg(UserDataFolder())), 1);
        }

        // A folder the program makes is its owner's alone.
        TestEnv env;
        QVERIFY(MakeUserDataFolder());
        QCOMPARE(FileMode(UserDataFolder()), 0700);
        ::alarm(0);
    }
};

QTEST_MAIN(OwnFilesTest)
#include "tst_ownfiles.moc"
