// The interval's unit and checks, apart from the window.
#include "autoquery/Interval.h"

#include <QtTest>

class IntervalTest : public QObject {
    Q_OBJECT
private slots:
    void unitFromText()
    {
        QCOMPARE(UnitFromText(QStringLiteral("Minutes")), IntervalUnit::Minutes);
        // Anything but the exact whole word is seconds.
        for (const char* text : {"Seconds", "minutes", "MINUTES", "Minute", "M", "Minutes ", " Minutes", ""})
            QVERIFY2(UnitFromText(QString::fromLatin1(text)) == IntervalUnit::Seconds, text);
        QCOMPARE(TickLengthMs(IntervalUnit::Minutes), 60000);
        QCOMPARE(TickLengthMs(IntervalUnit::Seconds), 1000);
    }

    void checksInTheLocaleNotation()
    {
        const QLocale c(QLocale::C);
        const QLocale german(QLocale::German, QLocale::Germany);

        IntervalCheck r = CheckInterval(QStringLiteral("59,4"), IntervalUnit::Seconds, german);
        QVERIFY(r.accepted);
        QCOMPARE(r.ticks, qint16(59));
        r = CheckInterval(QStringLiteral("59,5"), IntervalUnit::Seconds, german);
        QVERIFY(!r.accepted);
        QCOMPARE(r.message, QStringLiteral("Seconds must be less than 60."));
        // A point is not the German decimal separator: 59.4 is no number there.
        r = CheckInterval(QStringLiteral("59.4"), IntervalUnit::Seconds, german);
        QVERIFY(!r.accepted);
        QCOMPARE(r.message, QStringLiteral("Seconds must be numeric."));

        // Blanks around the number are allowed.
        r = CheckInterval(QStringLiteral(" 7 "), IntervalUnit::Minutes, c);
        QVERIFY(r.accepted);
        QCOMPARE(r.ticks, qint16(7));

        // Halves go to the even neighbour, right at the upper bound too.
        r = CheckInterval(QStringLiteral("31999.5"), IntervalUnit::Minutes, c);
        QVERIFY(!r.accepted);
        QCOMPARE(r.message, QStringLiteral("Minutes must be less than 32000."));
        QCOMPARE(r.resetText, QStringLiteral("5"));
        r = CheckInterval(QStringLiteral("31998.5"), IntervalUnit::Minutes, c);
        QVERIFY(r.accepted);
        QCOMPARE(r.ticks, qint16(31998));
        r = CheckInterval(QStringLiteral("1.5"), IntervalUnit::Seconds, c);
        QCOMPARE(r.ticks, qint16(2));
        r = CheckInterval(QStringLiteral("2.5"), IntervalUnit::Seconds, c);
        QCOMPARE(r.ticks, qint16(2));

        // Far beyond any counter: the bound checks catch them, nothing overflows.
        r = CheckInterval(QStringLiteral("1e12"), IntervalUnit::Seconds, c);
        QCOMPARE(r.message, QStringLiteral("Seconds must be less than 60."));
        QCOMPARE(r.resetText, QStringLiteral("30"));
        r = CheckInterval(QStringLiteral("-1e12"), IntervalUnit::Minutes, c);
        QCOMPARE(r.message, QStringLiteral("Minutes must be no less than 0."));
        QCOMPARE(r.resetText, QStringLiteral("0"));

        // Not numbers at all.
        for (const char* text : {"", "-", "+", "abc", "5x", "nan", "inf", "1..2"}) {
            r = CheckInterval(QString::fromLatin1(text), IntervalUnit::Minutes, c);
            QVERIFY2(!r.accepted, text);
            QCOMPARE(r.message, QStringLiteral("Minutes must be numeric."));
            QCOMPARE(r.resetText, QStringLiteral("5"));
        }

        // Every reset text passes its own unit's checks.
        for (IntervalUnit unit : {IntervalUnit::Minutes, IntervalUnit::Seconds}) {
            for (const char* text : {"", "99999", "-1"}) {
                const IntervalCheck failed = CheckInterval(QString::fromLatin1(text), unit, c);
                QVERIFY(!failed.accepted);
                const IntervalCheck reset = CheckInterval(failed.resetText, unit, c);
                QVERIFY(reset.accepted);
                QCOMPARE(QString::number(reset.ticks), failed.resetText);
            }
        }
    }
};

QTEST_GUILESS_MAIN(IntervalTest)
#include "tst_interval.moc"
