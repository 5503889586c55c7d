// A server's request budget on a clock of the test's own: the burst and its refill, the gap
// between rcon requests, both limits for an engine not known, typed requests before automatic
// ones, and an automatic request skipped when it would wait too long.
#include "TestEnv.h"

#include "console/BudgetFile.h"
#include "console/RequestBudget.h"

#include <QFile>
#include <QTest>

using Kind = RequestBudget::Kind;
using Priority = RequestBudget::Priority;

class RequestBudgetTest : public QObject {
    Q_OBJECT
private slots:
    // The engine's rule from the "version" of its status answer.
    void ruleFollowsTheEngine()
    {
        const BudgetRule ioq3 = BudgetRule::ForVersion(QStringLiteral("ioq3 1.36_GIT_ba68b99c-2018-01-23 linux-x86_64 Jan 23 2018"));
        QCOMPARE(ioq3.burst, 8);
        QCOMPARE(ioq3.refillMs, 1100);
        QCOMPARE(ioq3.rconGapMs, 0);
        for (const char* v : {"Q3 1.32b linux-i386 Nov 14 2002", "ET 2.60b linux-i386 May  8 2006", "Call of Duty 2 - 1.3"})
            QCOMPARE(BudgetRule::ForVersion(QLatin1String(v)), (BudgetRule{0, 0, 550}));
        for (const char* v : {"", "Quake3e 1.0", "IOQ3 1.36", " ioq3"})
            QCOMPARE(BudgetRule::ForVersion(QLatin1String(v)), (BudgetRule{8, 1100, 550}));

    }

    // ioquake3 line: 8 at once, then one every 1.1 s; an idle budget fills up to the burst
    // and no further. 1.32 line: 550 ms between rcon requests only. Unknown: both.
    void burstRefillAndGap()
    {
        RequestBudget b(BudgetRule::ForVersion(QStringLiteral("ioq3 1.36")));
        quint64 id = 1;
        for (; id <= 10; ++id)
            QVERIFY(b.enqueue(id, id % 2 ? Kind::Rcon : Kind::OutOfBand, Priority::Typed, 0, 0));
        for (quint64 want = 1; want <= 8; ++want)
            QCOMPARE(b.take(0), want);
        QCOMPARE(b.take(0), 0u);
        QCOMPARE(b.nextInMs(0), 1100);
        QCOMPARE(b.take(1099), 0u);
        QCOMPARE(b.take(1100), 9u);
        QCOMPARE(b.nextInMs(1500), 700);
        QCOMPARE(b.take(2200), 10u);
        QCOMPARE(b.nextInMs(2200), -1);
        QVERIFY(b.idle());
        // Half a minute idle: the burst again, not more.
        QCOMPARE(b.waitFor(Kind::Rcon, Priority::Typed, 32200), 0);
        for (int i = 0; i < 9; ++i)
            QVERIFY(b.enqueue(id + i, Kind::Rcon, Priority::Typed, 0, 32200));
        for (int i = 0; i < 8; ++i)
            QCOMPARE(b.take(32200), id + i);
        QCOMPARE(b.take(32200), 0u);
        QCOMPARE(b.nextInMs(32200), 1100);

        RequestBudget classic(BudgetRule::ForVersion(QStringLiteral("Q3 1.32c")));
        classic.spend(Kind::Rcon, 1000);
        QCOMPARE(classic.waitFor(Kind::Rcon, Priority::Typed, 1000), 550);
        QCOMPARE(classic.waitFor(Kind::Rcon, Priority::Typed, 1549), 1);
        for (int i = 0; i < 20; ++i)  // out-of-band queries are not held back
            classic.spend(Kind::OutOfBand, 1000);
        QCOMPARE(classic.waitFor(Kind::OutOfBand, Priority::Typed, 1000), 0);
        QCOMPARE(classic.waitFor(Kind::Rcon, Priority::Typed, 1550), 0);

        RequestBudget unknown;
        unknown.spend(Kind::Rcon, 0);
        QCOMPARE(unknown.waitFor(Kind::Rcon, Priority::Typed, 0), 550);
        for (int i = 0; i < 7; ++i)
            unknown.spend(Kind::OutOfBand, 0);
        QCOMPARE(unknown.waitFor(Kind::OutOfBand, Priority::Typed, 0), 1100);
        QCOMPARE(unknown.waitFor(Kind::Rcon, Priority::Typed, 600), 500);
        // Requests queued ahead count: three more rcon go at 1100, 2200 and 3300.
        for (quint64 i = 1; i <= 3; ++i)
            unknown.enqueue(i, Kind::Rcon, Priority::Typed, 0, 0);
        QCOMPARE(unknown.waitFor(Kind::Rcon, Priority::Typed, 0), 4400);
        QCOMPARE(unknown.waitFor(Kind::OutOfBand, Priority::Typed, 0), 4400);
    }

    // Typed requests go before automatic ones that were waiting, in the order they came; the
    // budget's own engine query before both. An automatic request that would wait longer than
    // its limit is not queued; a withdrawn one never comes out.
    void typedBeforeAutomaticAndSkip()
    {
        RequestBudget b(BudgetRule{2, 1000, 0});
        QVERIFY(b.enqueue(1, Kind::Rcon, Priority::Automatic, 0, 0));
        QVERIFY(b.enqueue(2, Kind::Rcon, Priority::Automatic, 5000, 0));
        QVERIFY(!b.enqueue(3, Kind::Rcon, Priority::Automatic, 999, 0));  // would wait 1000
        QVERIFY(b.enqueue(3, Kind::Rcon, Priority::Automatic, 1000, 0));
        QVERIFY(b.enqueue(4, Kind::Rcon, Priority::Typed, 0, 0));
        QVERIFY(b.enqueue(5, Kind::Rcon, Priority::Typed, 0, 0));
        QVERIFY(b.enqueue(6, Kind::OutOfBand, Priority::First, 0, 0));
        QCOMPARE(b.waitFor(Kind::Rcon, Priority::Typed, 0), 2000);     // behind 6, 4 and 5
        QCOMPARE(b.waitFor(Kind::Rcon, Priority::Automatic, 0), 5000);  // behind all six
        QVERIFY(!b.enqueue(7, Kind::Rcon, Priority::Automatic, 4999, 0));
        QVERIFY(b.enqueue(8, Kind::Rcon, Priority::Automatic, 5000, 0));
        QVERIFY(b.enqueue(9, Kind::Rcon, Priority::Typed, 4999, 0));  // typed: never skipped
        b.remove(2);
        QList<quint64> order;
        for (qint64 t = 0; t <= 10000; t += 100) {
            while (const quint64 id = b.take(t))
                order << id;
        }
        QCOMPARE(order, (QList<quint64>{6, 4, 5, 9, 1, 3, 8}));
    }

    // The runs of the program share each server's allowance through a file in the runtime
    // folder: what another run spent there holds this one back; the file is the user's alone;
    // a damaged file or line, a time yet to come or a credit beyond the burst count for nothing.
    void sharedThroughTheRuntimeFolder()
    {
        TestEnv env;  // a runtime folder of its own, and the ioquake3 rule for 127.0.0.1
        const QString path = BudgetFile::path();
        QCOMPARE(path, env.runtimeFolder() + QStringLiteral("/telmorax"));
        RequestScheduler& scheduler = RequestScheduler::instance();
        const QHostAddress server = QHostAddress::LocalHost;
        QCOMPARE(scheduler.waitFor(server, Kind::Rcon, Priority::Typed), 0);
        const auto writeFile = [&path](const QByteArray& text) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size());
        };
        // Another run spent the whole burst a moment ago (its credit at 0): a request waits.
        const QByteArray now = QByteArray::number(BudgetFile::now());
        writeFile("telmorax request budgets 1\n127.0.0.1 0 " + now + " " + now + "\n");
        const qint64 wait = scheduler.waitFor(server, Kind::Rcon, Priority::Typed);
        QVERIFY2(wait > 0 && wait <= 1100, qPrintable(QString::number(wait)));
        // A turn taken here is written back for the others, readable by nobody else.
        scheduler.resetForTests();  // this run's own state forgotten
        scheduler.setRule(server, BudgetRule::ForVersion(QStringLiteral("ioq3")));
        const QByteArray later = QByteArray::number(BudgetFile::now() + 60000);
        writeFile("telmorax request budgets 1\n127.0.0.1 0 " + later + " -1\n127.0.0.2 0 1 -1\n");
        QVERIFY(scheduler.takeNow(server, 27960, Kind::Rcon, Priority::Typed));  // the state to come was refused
        QCOMPARE(FileMode(path), 0600);
        {
            BudgetFile file;
            QVERIFY(file.isOpen());
            QVERIFY(file.find(QStringLiteral("127.0.0.1")) && file.find(QStringLiteral("127.0.0.1"))->lastRcon > 0);
            QVERIFY(!file.find(QStringLiteral("127.0.0.2")));  // long filled up again: not kept
        }
        // Damaged lines, another format, a file that is not a plain file of its own: nothing known.
        const QByteArray damaged[] = {"telmorax request budgets 1\n127.0.0.1 99999999 " + now + " -1\n",
            "telmorax request budgets 1\nnot-an-address 0 " + now + " -1\n", "telmorax request budgets 1\n127.0.0.1 0 " + now + "\n",
            "telmorax request budgets 2\n127.0.0.1 0 " + now + " -1\n", QByteArray(70000, '\n')};
        for (const QByteArray& text : damaged) {
            writeFile(text);
            QVERIFY2(!BudgetFile().find(QStringLiteral("127.0.0.1")), text.left(60).constData());
        }
        RequestBudget budget(BudgetRule::ForVersion(QStringLiteral("ioq3")));
        RequestBudget::State spent;
        spent.full = false;
        spent.credit = 9000;  // beyond a burst of 8 at 1.1 s each
        QVERIFY(!budget.setState(spent, 0));
        spent.credit = 0;
        QVERIFY(budget.setState(spent, 0));
        QCOMPARE(budget.waitFor(Kind::Rcon, Priority::Typed, 0), 1100);
        QVERIFY(QFile::remove(path) && QFile::link(env.runtimeFolder() + QStringLiteral("/elsewhere"), path));
        QVERIFY(!BudgetFile().isOpen());
        qputenv("XDG_RUNTIME_DIR", "");
        QVERIFY(!BudgetFile().isOpen());
    }
};

QTEST_MAIN(RequestBudgetTest)
#include "tst_requestbudget.moc"
