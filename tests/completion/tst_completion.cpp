// Name completion in the command box, names learned from a real OpenArena server, and the
// commands kept from one run to the next.
#include "../log/ExchangeRig.h"
#include "OpenArenaServer.h"
#include "TestEnv.h"

#include "completion/CommandCompletion.h"
#include "completion/NameLists.h"
#include "settings/UserDataFolder.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QtTest>

namespace {
using Names = QStringList;

// The real window, shown, with the reference lists beside the program, aimed at a server.
struct Window : frmMain {
    Window(const TestEnv& env, quint16 port, const QString& password = QStringLiteral("pw"))
    {
        for (const QString name : {QStringLiteral("/commands.txt"), QStringLiteral("/variables.txt")})
            QFile::copy(qEnvironmentVariable("TELMORAX_SOURCE_DIR") + QStringLiteral("/data") + name, env.programFolder() + name);
        show();
        QVERIFY(QTest::qWaitForWindowActive(this));
        AimAt(*this, port, password);
        ui(this).txtCommand->setFocus();
    }
    QAbstractItemView* popup() { return completion()->completer()->popup(); }
    Names offered()
    {
        Names names;
        for (int row = 0; popup()->isVisible() && row < popup()->model()->rowCount(); ++row)
            names.append(popup()->model()->index(row, 0).data().toString());
        return names;
    }
    // Keys as the user gives them: to the popup while it is open, else to the focused box.
    void type(const QString& text)
    {
        ui(this).txtCommand->clear();
        QTest::keyClicks(static_cast<QWidget*>(nullptr), text);
    }
};

void press(std::initializer_list<Qt::Key> keys)
{
    for (Qt::Key key : keys)
        QTest::keyClick(static_cast<QWidget*>(nullptr), key);
}
}

class CompletionTest : public QObject {
    Q_OBJECT
private slots:
    void popupAndKeys()
    {
        TestEnv env;
        LoopbackServer server;
        Window w(env, server.port());

        // Commands first, then variables, each in alphabetical order, letter case not counting.
        // Enter sends what the box holds, popup open or not.
        w.type(QStringLiteral("MA"));
        QCOMPARE(w.offered(), Names({"map", "map_restart", "mapname"}));
        press({Qt::Key_Return});
        QVERIFY(server.waitForDatagrams(1));
        QCOMPARE(server.received().at(0).data, Request("pw MA"));

        // Tab takes the first name and a space.
        w.type(QStringLiteral("sv_m"));
        QCOMPARE(w.offered(), Names({"sv_master1", "sv_maxclients", "sv_maxPing", "sv_maxRate", "sv_minPing", "sv_minRate"}));
        press({Qt::Key_Tab});
        QCOMPARE(ui(w).txtCommand->text(), QStringLiteral("sv_master1 "));
        QVERIFY(!w.popup()->isVisible() && ui(w).txtCommand->hasFocus());

        // After set and the like, the second word completes from the variables only. Up and
        // Down move in the open popup, round its ends; Enter or Tab then takes that entry.
        w.type(QStringLiteral("set sv_ma"));
        QCOMPARE(w.offered(), Names({"sv_master1", "sv_maxclients", "sv_maxPing", "sv_maxRate"}));
        press({Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_Up, Qt::Key_Return});
        QCOMPARE(ui(w).txtCommand->text(), QStringLiteral("set sv_maxRate "));
        w.type(QStringLiteral("toggle g_doW"));
        press({Qt::Key_Down, Qt::Key_Tab});
        QCOMPARE(ui(w).txtCommand->text(), QStringLiteral("toggle g_doWarmup "));
        w.type(QStringLiteral("kick sv_m"));
        press({Qt::Key_Tab});  // nothing offered: Tab moves on as usual
        QCOMPARE(ui(w).txtCommand->text(), QStringLiteral("kick sv_m"));
        QVERIFY(ui(w).cmdConnect->hasFocus());
        ui(w).txtCommand->setFocus();

        // Escape closes the popup, a second one empties the box.
        w.type(QStringLiteral("sv_f"));
        QCOMPARE(w.offered(), Names({"sv_floodProtect", "sv_fps"}));
        press({Qt::Key_Escape});
        QVERIFY(!w.popup()->isVisible());
        QCOMPARE(ui(w).txtCommand->text(), QStringLiteral("sv_f"));
        press({Qt::Key_Escape});
        QCOMPARE(ui(w).txtCommand->text(), QString());

        // A whole name typed offers nothing more, and Enter sends it; Up then recalls.
        w.type(QStringLiteral("status"));
        QVERIFY(!w.popup()->isVisible());
        press({Qt::Key_Return});
        QVERIFY(server.waitForDatagrams(2));
        QCOMPARE(server.received().at(1).data, Request("pw status"));
        press({Qt::Key_Up});
        QCOMPARE(ui(w).txtCommand->text(), QStringLiteral("status"));
        QTest::qWait(200);
        QCOMPARE(server.received().size(), 2);  // completing sent nothing
    }

    void namesFromTheServer()
    {
        TestEnv env;
        OpenArenaServer server(QStringLiteral("names-pw"));
        server.set(QStringLiteral("g_password"), QStringLiteral("joinpw"));
        QVERIFY2(server.start(), qPrintable(server.errorText()));

        // Every name of the answers, which the count lines end; cvarlist comes in many datagrams.
        const QString commands = QString::fromLatin1(server.rcon(QStringLiteral("cmdlist")));
        const QString variables = QString::fromLatin1(server.rcon(QStringLiteral("cvarlist")));
        const int commandCount = QRegularExpression("(\\d+) commands").match(commands).captured(1).toInt();
        const int variableCount = QRegularExpression("(\\d+) total cvars").match(variables).captured(1).toInt();
        QVERIFY(commandCount > 40 && variableCount > 200);
        QCOMPARE(ReadCommandList(commands).size(), commandCount);
        QCOMPARE(ReadVariableList(variables).size(), variableCount);
        QVERIFY(ReadCommandList(commands).contains("touchFile") && ReadVariableList(variables).contains("sv_hostname"));

        Window w(env, server.port(), server.password());
        // The reference lists: the name of each entry line, no title, note or example.
        QFile list(env.programFolder() + QStringLiteral("/commands.txt"));
        QVERIFY(list.open(QIODevice::ReadOnly));
        const Names reference = ReadReferenceList(QString::fromUtf8(list.readAll()));
        QCOMPARE(reference.mid(0, 3), Names({"status", "serverinfo", "systeminfo"}));
        QVERIFY(reference.contains("banaddr") && reference.contains("addbot") && !reference.contains("Quake")
            && !reference.contains("g_gametype") && reference.count("vstr") == 1);

        // Both answers read whole, the names kept for this server, the box's text left alone.
        ui(w).ckLog->setValue(1);
        ui(w).txtCommand->setText(QStringLiteral("typed"));
        ui(w).mnuViewRefreshNames->trigger();
        const QString learned = QStringLiteral("Names learned from 127.0.0.1:%1: %2 commands, %3 variables.\r\n")
                                    .arg(server.port()).arg(commandCount).arg(variableCount);
        QTRY_VERIFY_WITH_TIMEOUT(ui(w).txtOutput->text().endsWith(learned), 20000);
        QVERIFY(ui(w).txtOutput->text().contains(Echo("cmdlist")) && ui(w).txtOutput->text().contains(Echo("cvarlist")));
        QCOMPARE(ui(w).txtCommand->text(), QStringLiteral("typed"));
        QCOMPARE(FileMode(UserDataFolder() + QStringLiteral("/names-127.0.0.1-%1.txt").arg(server.port())), 0600);

        // The passwords the server printed, and the one asked alone, are in the pane, and only
        // masked in the log, which is its owner's alone.
        SendCommand(w, QStringLiteral("rconpassword"));
        QTRY_VERIFY(ui(w).txtOutput->text().contains(QStringLiteral("\"rconpassword\" is:\"names-pw^7\"")));
        QTRY_VERIFY(!w.session()->replyOpen());
        for (const char* shown : {"rconpassword \"names-pw\"", "g_password \"joinpw\""})
            QVERIFY2(ui(w).txtOutput->text().contains(QLatin1String(shown)), shown);
        const QByteArray log = env.readLog();
        for (const char* logged : {" rconpassword \"********\"\r\n", " g_password \"********\"\r\n", "\"rconpassword\" is:\"********^7\""})
            QVERIFY2(log.contains(logged), logged);
        QVERIFY(!log.contains("names-pw") && !log.contains("joinpw") && log.contains(" sv_hostname \"noname\"\r\n"));
        QCOMPARE(FileMode(env.logFile()), 0600);

        // Offered for that server only.
        w.type(QStringLiteral("touchF"));
        QCOMPARE(w.offered(), Names({"touchFile"}));
        ui(w).txtPort->setEditText(QString::number(server.port() + 1));
        w.type(QStringLiteral("touchF"));
        QVERIFY(!w.popup()->isVisible());
        w.type(QStringLiteral("sv_maxc"));
        QCOMPARE(w.offered(), Names({"sv_maxclients"}));
        // Commands alone kept for a server (by a window that needed only cmdlist): the reference
        // variables are offered beside them.
        QVERIFY(WriteUserDataFile(NameFileName(QStringLiteral("127.0.0.1"), server.port() + 2), WriteNameFile({{"touchFile"}, {}})));
        ui(w).txtPort->setEditText(QString::number(server.port() + 2));
        w.type(QStringLiteral("touchF"));
        QCOMPARE(w.offered(), Names({"touchFile"}));
        w.type(QStringLiteral("sv_maxc"));
        QCOMPARE(w.offered(), Names({"sv_maxclients"}));

        // A wrong password: nothing learned, the names kept stay.
        AimAt(w, server.port(), QStringLiteral("wrong"));
        ui(w).mnuViewRefreshNames->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(ui(w).txtOutput->text().endsWith("No names learned: the answer to cmdlist held none.\r\n"), 10000);
        w.type(QStringLiteral("g_adminM"));
        QCOMPARE(w.offered(), Names({"g_adminMaxBan"}));
    }

    void recallKeptBetweenRuns()
    {
        TestEnv env;
        LoopbackServer server;
        const QString file = UserDataFolder() + QStringLiteral("/recall.txt");
        {
            frmMain w;
            AimAt(w, server.port());
            for (const char* command : {"status", "status", "set rconpassword s3cret", "seta G_PASSWORD \"s3cret\"",
                     "sv_privatePassword s3cret", "map oa_dm1"})
                SendCommand(w, QString::fromLatin1(command));
            QCOMPARE(w.recall().commands().size(), 5);
        }
        QVERIFY(!ReadFile(file).contains("s3cret"));
        QCOMPARE(FileMode(file), 0600);
        QCOMPARE(FileMode(UserDataFolder()), 0700);
        {
            frmMain w;
            QCOMPARE(w.recall().commands(), Names({"status", "map oa_dm1"}));
        }

        // A damaged file: an empty recall, and the program goes on and writes a good one.
        QFile damaged(file);
        QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write("telmorax recall 1\nsay \xff\xfe\n") > 0);
        damaged.close();
        {
            frmMain w;
            QVERIFY(w.recall().commands().isEmpty());
            AimAt(w, server.port());
            SendCommand(w, QStringLiteral("status"));
        }
        QByteArray kept = "telmorax recall 1\n";
        {
            frmMain w;
            QCOMPARE(w.recall().commands(), Names({"status"}));
            // The newest 100 are kept, here and in the file: "status" goes, "say 1" stays
            // the oldest, and Up stops there.
            AimAt(w, server.port());
            for (int i = 1; i <= 100; ++i) {
                SendCommand(w, QStringLiteral("say %1").arg(i));
                kept += "say " + QByteArray::number(i) + "\n";
            }
            for (int i = 0; i <= 100; ++i)
                QTest::keyClick(ui(w).txtCommand, Qt::Key_Up);
            QCOMPARE(ui(w).txtCommand->text(), QStringLiteral("say 1"));
        }
        QCOMPARE(ReadFile(file), kept);
    }
};

QTEST_MAIN(CompletionTest)
#include "tst_completion.moc"
