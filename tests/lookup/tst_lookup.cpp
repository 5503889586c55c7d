// The Lookup window over what the running window recorded, and timed bans on a real OpenArena
// server: one placed from the Lookup window and lifted by the running window when it ran out,
// another placed from the command line and lifted by a second run with --lift-expired.
#include "../log/ExchangeRig.h"
#include "OpenArenaServer.h"
#include "ScriptedServer.h"
#include "TestEnv.h"

#include "console/RequestBudget.h"
#include "console/ServerExchange.h"
#include "lookup/frmLookup.h"
#include "memory/MemoryDatabase.h"
#include "memory/Queries.h"
#include "memory/Recorder.h"
#include "widgets/BanDialog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

namespace {
QStringList column(const QTableWidget* t, int c)
{
    QStringList out;
    for (int r = 0; r < t->rowCount(); ++r)
        out << t->item(r, c)->text();
    return out;
}

// What the server answers to "status" as the memory gets it, as if read from that server.
void seen(quint16 port, const QByteArray& status)
{
    Recorder::Observation o;
    o.time = Memory::Now();
    o.server = Memory::ServerKey(QStringLiteral("127.0.0.1"), port);
    o.command = QStringLiteral("status");
    o.automatic = true;
    o.wentOut = true;
    o.outcome = ExchangeOutcome::Answered;
    o.datagrams = {QByteArray("\xff\xff\xff\xffprint\n") + status};
    Recorder::Observe(o);
    Recorder::Flush();
}

int runProgram(const QStringList& arguments, const QString& password)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.insert(QStringLiteral("TELMORAX_PASSWORD"), password);
    p.setProcessEnvironment(env);
    p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/telmorax"), arguments);
    p.waitForFinished(60000);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}
}

class LookupTest : public QObject {
    Q_OBJECT
private slots:
    void findsPlayersAndBansForAWhile()
    {
        TestEnv env;
        OpenArenaServer server(QStringLiteral("lk-s3cret"));
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        const QString target = QStringLiteral("127.0.0.1:%1").arg(server.port());
        {
            frmMain w;
            QVERIFY(Recorder::IsRecording());
            // A status typed in the main window is recorded, with the player's address.
            ScriptedServer typed;
            typed.answer(QStringLiteral("status"), {ScriptedServer::StatusAnswer({{"5", "40", "Typist", "192.0.2.44:27960"}})});
            RequestScheduler::instance().setRule(QHostAddress::LocalHost, BudgetRule());
            AimAt(w, typed.port());
            SendCommand(w, QStringLiteral("status"));
            QTRY_VERIFY_WITH_TIMEOUT(([] { Recorder::Flush(); return Memory::Find(QStringLiteral("typist")).size() == 1; }()), 10000);
            QCOMPARE(Memory::Find(QStringLiteral("192.0.2.44")).constFirst().name, QStringLiteral("Typist"));
            QCOMPARE(Memory::Journal(0).constFirst().command, QStringLiteral("status"));
            RequestScheduler::instance().setRule(QHostAddress::LocalHost, BudgetRule::ForVersion(QStringLiteral("ioq3")));
            AimAt(w, server.port(), server.password());
            seen(server.port(), ScriptedServer::StatusAnswer({{"0", "48", "^1Ali^7ce", "203.0.113.5:27960"}, {"1", "50", "Bob", "203.0.113.7:27960"},
                                    {"2", "50", "<b>x</b>", "198.51.100.2:27960"}, {"3", "50", "%1", "203.0.113.7:27960"}}));

            w.findChild<QAction*>(QStringLiteral("mnuCommandsLookup"))->trigger();
            frmLookup* l = w.findChild<frmLookup*>();
            QVERIFY(l && l->isVisible());
            l->txtSearch->setText(QStringLiteral("203.0.113.0/24"));
            l->cmdFind->click();
            QStringList found = column(l->grdPlayers, frmLookup::Name);
            found.sort();
            QCOMPARE(found, QStringList({QStringLiteral("%1"), QStringLiteral("Bob"), QStringLiteral("^1Ali^7ce")}));
            l->txtSearch->setText(QStringLiteral("<B>X"));
            QTest::keyClick(l->txtSearch, Qt::Key_Return);
            QCOMPARE(column(l->grdPlayers, frmLookup::Name), QStringList{QStringLiteral("<b>x</b>")});
            QCOMPARE(l->grdPlayers->item(0, frmLookup::Addresses)->text(), QStringLiteral("198.51.100.2"));
            l->txtSearch->setText(QStringLiteral("bob"));
            l->cmdFind->click();
            QCOMPARE(column(l->grdPlayers, frmLookup::Name), QStringList{QStringLiteral("Bob")});
            // Bob's address also carried the name "%1": an alias.
            QStringList aliases = column(l->grdAliases, 0);
            aliases.sort();
            QCOMPARE(aliases, QStringList({QStringLiteral("%1"), QStringLiteral("Bob")}));
            QCOMPARE(l->grdSessions->rowCount(), 1);
            l->cmdCopyAddress->click();
            QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("203.0.113.7"));

            // Banned for three seconds on the server Bob was seen on; lifted by this window.
            BanChoice choice;
            choice.address = QStringLiteral("203.0.113.7");
            choice.reason = QStringLiteral("aim \"bot\" %1");
            choice.durationMs = 3000;
            BanDialog::setNextAnswer(choice);
            l->cmdBanAddress->click();
            // The server's own request limit is shared with this test's direct questions: few of them.
            const QString key = Memory::ServerKey(QStringLiteral("127.0.0.1"), server.port());
            QTRY_VERIFY_WITH_TIMEOUT(([&] { Recorder::Flush(); return Memory::BansOn(key).size() == 1; }()), 10000);
            QVERIFY(server.rcon(QStringLiteral("listbans")).contains("203.0.113.7/32"));
            QTRY_VERIFY_WITH_TIMEOUT(([&] { Recorder::Flush(); return Memory::BansOn(key).constFirst().lifted > 0; }()), 20000);
            QVERIFY(!server.rcon(QStringLiteral("listbans")).contains("203.0.113.7/32"));
            QCOMPARE(Memory::Journal(0).size(), 3);  // the typed status, the ban, its lifting
            l->cmdFind->click();
            QCOMPARE(column(l->grdJournal, 4), QStringList({QStringLiteral("bandel 203.0.113.7/32"), QStringLiteral("banaddr 203.0.113.7")}));
            QCOMPARE(column(l->grdJournal, 5), QStringList({choice.reason, choice.reason}));
            QVERIFY(BanDialog::lastReasons().startsWith(choice.reason));
        }

        // From the command line: a ban for two seconds, lifted by a second run once due.
        QCOMPARE(runProgram({QStringLiteral("--ban"), QStringLiteral("198.51.100.0/24"), QStringLiteral("--for"), QStringLiteral("2s"),
                                QStringLiteral("--reason"), QStringLiteral("spam"), target},
                     server.password()),
            0);
        QVERIFY(server.rcon(QStringLiteral("listbans")).contains("198.51.100.0/24"));
        QCOMPARE(runProgram({QStringLiteral("--lift-expired")}, server.password()), 0);  // not due yet
        QVERIFY(server.rcon(QStringLiteral("listbans")).contains("198.51.100.0/24"));
        QTest::qWait(2100);
        QCOMPARE(runProgram({QStringLiteral("--lift-expired")}, server.password()), 0);
        QVERIFY(!server.rcon(QStringLiteral("listbans")).contains("198.51.100.0/24"));

        QVERIFY(Memory::Open().usable);
        QStringList journal;
        for (const Memory::JournalEntry& e : Memory::Journal(0))
            journal << QStringList({e.command, e.outcome, e.admin, e.targetAddress, e.reason}).join(QLatin1Char('|'));
        const QString admin = Memory::AdminName();
        journal.removeFirst();  // the typed status
        QCOMPARE(journal, QStringList({
            QStringList({"banaddr 203.0.113.7", "answered", admin, "203.0.113.7/32", "aim \"bot\" %1"}).join(QLatin1Char('|')),
            QStringList({"bandel 203.0.113.7/32", "answered", admin, "203.0.113.7/32", "aim \"bot\" %1"}).join(QLatin1Char('|')),
            QStringList({"banaddr 198.51.100.0/24", "answered", admin, "198.51.100.0/24", "spam"}).join(QLatin1Char('|')),
            QStringList({"bandel 198.51.100.0/24", "answered", admin, "198.51.100.0/24", "spam"}).join(QLatin1Char('|')),
        }));
        for (const Memory::Ban& b : Memory::BansOn(Memory::ServerKey(QStringLiteral("127.0.0.1"), server.port())))
            QVERIFY2(b.lifted > 0 && b.liftedHow == QLatin1String("expired") && b.expires > b.created, qPrintable(b.target));
    }
};

QTEST_MAIN(LookupTest)
#include "tst_lookup.moc"
