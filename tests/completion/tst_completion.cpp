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
#include <QDir>
#include <QtTest>

#include <sys/stat.h>

namespace {
void installReferenceLists(const TestEnv& env)
{
    for (const QString name : {QStringLiteral("commands.txt"), QStringLiteral("variables.txt")})
        QVERIFY(QFile::copy(qEnvironmentVariable("TELMORAX_SOURCE_DIR") + QStringLiteral("/data/") + name,
            env.programFolder() + QLatin1Char('/') + name));
}

QAbstractItemView* popup(frmMain& w)
{
    return w.commandCompletion->completer()->popup();
}

QStringList offered(frmMain& w)
{
    QStringList names;
    for (int row = 0; popup(w)->isVisible() && row < popup(w)->model()->rowCount(); ++row)
        names.append(popup(w)->model()->index(row, 0).data().toString());
    return names;
}

// Keys as the user gives them: to the popup while it is open, else to the focused box.
void press(Qt::Key key)
{
    QTest::keyClick(static_cast<QWidget*>(nullptr), key);
}

void type(frmMain& w, const QString& text)
{
    w.txtCommand->clear();
    QTest::keyClicks(static_cast<QWidget*>(nullptr), text);
}

QString fileMode(const QString& path)
{
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? QString::number(st.st_mode & 0777, 8) : QString();
}
}

class CompletionTest : public QObject {
    Q_OBJECT
private slots:
    void popupAndKeys()
    {
        TestEnv env;
        installReferenceLists(env);
        LoopbackServer server;
        frmMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        AimAt(w, server.port());
        w.txtCommand->setFocus();

        // Commands first, then variables, each in alphabetical order, letter case not counting.
        type(w, QStringLiteral("MA"));
        QCOMPARE(offered(w), QStringList({"map", "map_restart", "mapname"}));
        // Enter sends what the box holds, popup open or not.
        press(Qt::Key_Return);
        QVERIFY(server.waitForDatagrams(1));
        QCOMPARE(server.received().at(0).data, Request("pw MA"));
        QVERIFY(!popup(w)->isVisible());

        // Tab takes the first name and a space.
        type(w, QStringLiteral("sv_m"));
        QCOMPARE(offered(w), QStringList({"sv_master1", "sv_maxclients", "sv_maxPing", "sv_maxRate", "sv_minPing", "sv_minRate"}));
        press(Qt::Key_Tab);
        QCOMPARE(w.txtCommand->text(), QStringLiteral("sv_master1 "));
        QVERIFY(!popup(w)->isVisible());
        QVERIFY(w.txtCommand->hasFocus());

        // After set and the like, the second word completes from the variables only. Up and
        // Down move in the open popup, round its ends; Enter then takes that entry.
        type(w, QStringLiteral("set sv_ma"));
        QCOMPARE(offered(w), QStringList({"sv_master1", "sv_maxclients", "sv_maxPing", "sv_maxRate"}));
        for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_Up})
            press(key);
        press(Qt::Key_Return);
        QCOMPARE(w.txtCommand->text(), QStringLiteral("set sv_maxRate "));
        type(w, QStringLiteral("toggle g_doW"));
        press(Qt::Key_Down);
        press(Qt::Key_Tab);
        QCOMPARE(w.txtCommand->text(), QStringLiteral("toggle g_doWarmup "));
        type(w, QStringLiteral("kick sv_m"));
        QVERIFY(!popup(w)->isVisible());
        press(Qt::Key_Tab);  // nothing offered: Tab moves on as usual
        QCOMPARE(w.txtCommand->text(), QStringLiteral("kick sv_m"));
        QVERIFY(w.cmdConnect->hasFocus());
        w.txtCommand->setFocus();

        // Escape closes the popup, a second one empties the box.
        type(w, QStringLiteral("sv_f"));
        QCOMPARE(offered(w), QStringList({"sv_floodProtect", "sv_fps"}));
        press(Qt::Key_Escape);
        QCOMPARE(w.txtCommand->text(), QStringLiteral("sv_f"));
        QVERIFY(!popup(w)->isVisible());
        press(Qt::Key_Escape);
        QCOMPARE(w.txtCommand->text(), QString());

        // A whole name typed offers nothing more, and Enter sends it; Up then recalls.
        type(w, QStringLiteral("status"));
        QVERIFY(!popup(w)->isVisible());
        press(Qt::Key_Return);
        QVERIFY(server.waitForDatagrams(2));
        QCOMPARE(server.received().at(1).data, Request("pw status"));
        press(Qt::Key_Up);
        QCOMPARE(w.txtCommand->text(), QStringLiteral("status"));
        QTest::qWait(200);
        QCOMPARE(server.received().size(), 2);  // completing sent nothing
    }

    void namesFromTheServer()
    {
        TestEnv env;
        installReferenceLists(env);
        OpenArenaServer server(QStringLiteral("names-pw"));
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

        // The reference lists: the name of each entry line, no title, note or example.
        QFile list(env.programFolder() + QStringLiteral("/commands.txt"));
        QVERIFY(list.open(QIODevice::ReadOnly));
        const QStringList reference = ReadReferenceList(QString::fromUtf8(list.readAll()));
        QCOMPARE(reference.mid(0, 3), QStringList({"status", "serverinfo", "systeminfo"}));
        QVERIFY(reference.contains("banaddr") && reference.contains("addbot") && reference.contains("quit"));
        QVERIFY(!reference.contains("Quake") && !reference.contains("g_gametype") && !reference.contains("vstr d1"));

        frmMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        AimAt(w, server.port(), server.password());
        w.txtCommand->setText(QStringLiteral("typed"));
        w.mnuViewRefreshNames->trigger();
        const QString learned = QStringLiteral("Names learned from 127.0.0.1:%1: %2 commands, %3 variables.\r\n")
                                    .arg(server.port()).arg(commandCount).arg(variableCount);
        QTRY_VERIFY_WITH_TIMEOUT(w.txtOutput->text().endsWith(learned), 20000);
        QVERIFY(w.txtOutput->text().contains(Echo("cmdlist")) && w.txtOutput->text().contains(Echo("cvarlist")));
        QCOMPARE(w.txtCommand->text(), QStringLiteral("typed"));
        const QString file = UserDataFolder() + QStringLiteral("/names-127.0.0.1-%1.txt").arg(server.port());
        QCOMPARE(fileMode(file), QStringLiteral("600"));

        // Offered for that server only, in this run and the next.
        w.txtCommand->setFocus();
        type(w, QStringLiteral("touchF"));
        QCOMPARE(offered(w), QStringList({"touchFile"}));
        w.txtPort->setEditText(QString::number(server.port() + 1));
        type(w, QStringLiteral("touchF"));
        QVERIFY(!popup(w)->isVisible());
        type(w, QStringLiteral("sv_maxc"));
        QCOMPARE(offered(w), QStringList({"sv_maxclients"}));
        w.close();
        frmMain next;
        next.show();
        QVERIFY(QTest::qWaitForWindowActive(&next));
        AimAt(next, server.port());
        next.txtCommand->setFocus();
        type(next, QStringLiteral("g_adminM"));
        QCOMPARE(offered(next), QStringList({"g_adminMaxBan"}));

        // A wrong password: nothing learned, the names kept stay.
        next.txtPassword->setText(QStringLiteral("wrong"));
        next.mnuViewRefreshNames->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(next.txtOutput->text().endsWith("No names learned: the answer to cmdlist held none.\r\n"), 10000);
        type(next, QStringLiteral("touchF"));
        QCOMPARE(offered(next), QStringList({"touchFile"}));
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
            QCOMPARE(w.commandRecall.commands().size(), 5);
        }
        QVERIFY(!ReadFile(file).contains("s3cret"));
        QCOMPARE(fileMode(file), QStringLiteral("600"));
        QCOMPARE(fileMode(UserDataFolder()), QStringLiteral("700"));
        {
            frmMain w;
            QCOMPARE(w.commandRecall.commands(), QStringList({"status", "map oa_dm1"}));
            AimAt(w, server.port());
            for (int i = 0; i < 105; ++i)
                SendCommand(w, QStringLiteral("say %1").arg(i));
        }
        {
            frmMain w;
            QCOMPARE(w.commandRecall.commands().size(), 100);
            QCOMPARE(w.commandRecall.commands().constFirst(), QStringLiteral("say 5"));
            QCOMPARE(w.commandRecall.commands().constLast(), QStringLiteral("say 104"));
        }

        // A damaged file: an empty recall, and the program goes on and writes a good one.
        QFile damaged(file);
        QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write("telmorax recall 1\nsay \xff\xfe\n") > 0);
        damaged.close();
        {
            frmMain w;
            QVERIFY(w.commandRecall.commands().isEmpty());
            AimAt(w, server.port());
            SendCommand(w, QStringLiteral("status"));
        }
        frmMain w;
        QCOMPARE(w.commandRecall.commands(), QStringList({"status"}));
    }
};

QTEST_MAIN(CompletionTest)
#include "tst_completion.moc"
