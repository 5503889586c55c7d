// A server's request budget on a clock of the test's own: the burst and its refill, the gap
// between rcon requests, both limits for an engine not known, typed requests before automatic
// ones, and an automatic request skipped when it would wait too long.
#include "console/RequestBudget.h"

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
};

QTEST_MAIN(RequestBudgetTest)
#include "tst_requestbudget.moc"
