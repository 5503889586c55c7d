// Which commands a server has: asked once with "cmdlist" through the exchange unit, kept in
// the server's names file beside the variables learned before, and read from that file
// afterwards without asking again.
#include "ScriptedServer.h"
#include "TestEnv.h"

#include "completion/NameLists.h"
#include "completion/ServerCommands.h"
#include "settings/UserDataFolder.h"

#include <QtTest>

class ServerCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void asksOnceAndKeepsTheAnswer()
    {
        TestEnv env;
        ScriptedServer server;
        // A classic server's list, with a game log line printed meanwhile.
        server.answer(QStringLiteral("cmdlist"), {"clientkick\nkick\nsay\nBob^7 connected\nstatus\n4 commands\n"});
        // A names file of that server without commands: asked, and its variables stay.
        const QString file = NameFileName(QStringLiteral("127.0.0.1"), server.port());
        QVERIFY(WriteUserDataFile(file, WriteNameFile({{}, {QStringLiteral("sv_hostname")}})));

        ServerCommands commands;
        QSignalSpy changed(&commands, &ServerCommands::changed);
        QVERIFY(!commands.known() && !commands.has(QStringLiteral("kick")));
        commands.bind(QStringLiteral("127.0.0.1"), server.port(), server.password());
        QVERIFY(commands.missingText(QStringLiteral("tell")).contains(QStringLiteral("not known yet")));
        QTRY_VERIFY_WITH_TIMEOUT(commands.known(), 10000);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(server.heard(), QStringList({QStringLiteral("cmdlist")}));
        QVERIFY(commands.has(QStringLiteral("clientkick")) && commands.has(QStringLiteral("ClientKick")));
        QVERIFY(!commands.has(QStringLiteral("tell")) && !commands.has(QStringLiteral("banaddr")));
        QVERIFY(!commands.has(QStringLiteral("connected")));
        QCOMPARE(commands.missingText(QStringLiteral("tell")), QStringLiteral("The server has no \"tell\" command."));
        NameLists kept;
        QVERIFY(ReadNameFile(ReadUserDataFile(file, 1 << 20), &kept));
        QCOMPARE(kept.commands, QStringList({QStringLiteral("clientkick"), QStringLiteral("kick"), QStringLiteral("say"),
                                    QStringLiteral("status")}));
        QCOMPARE(kept.variables, QStringList({QStringLiteral("sv_hostname")}));

        // Bound again, or by another window: the file answers, the server is not asked.
        commands.bind(QStringLiteral("127.0.0.1"), server.port(), server.password());
        ServerCommands other;
        other.bind(QStringLiteral("127.0.0.1"), server.port(), server.password());
        QVERIFY(other.known() && other.has(QStringLiteral("kick")));
        QTest::qWait(300);
        QCOMPARE(server.heard().size(), 1);

        // A server that does not answer: not known, said why, and asked again at the next bind.
        ScriptedServer silent;
        other.bind(QStringLiteral("127.0.0.1"), silent.port(), silent.password());
        QVERIFY(!other.known() && !other.has(QStringLiteral("kick")));
        QTRY_VERIFY_WITH_TIMEOUT(other.missingText(QStringLiteral("kick")).contains(QStringLiteral("no answer")), 20000);
        QCOMPARE(silent.heard(), QStringList(3, QStringLiteral("cmdlist")));  // a read: three tries
        silent.answer(QStringLiteral("cmdlist"), {"tell\nbanaddr\n2 commands\n"});
        other.bind(QStringLiteral("127.0.0.1"), silent.port(), silent.password());
        QTRY_VERIFY_WITH_TIMEOUT(other.has(QStringLiteral("banaddr")), 10000);
        QVERIFY(ReadNameFile(ReadUserDataFile(NameFileName(QStringLiteral("127.0.0.1"), silent.port()), 1 << 20), &kept));
        QCOMPARE(kept.variables, QStringList());
    }
};

QTEST_MAIN(ServerCommandsTest)
#include "tst_servercommands.moc"
