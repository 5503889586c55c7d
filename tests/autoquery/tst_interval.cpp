// The interval's unit and checks, apart from the window: the locale notation and the rounding.
#include "autoquery/Interval.h"

#include <QtTest>

class IntervalTest : public QObject {
    Q_OBJECT
private slots:
    void unitAndChecks()
    {
        // Anything but the exact whole word "Minutes" is seconds.
        QCOMPARE(UnitFromText(QStringLiteral("Minutes")), IntervalUnit::Minutes);
        for (const char* text : {"Seconds", "MINUTES", "Minutes ", " Minutes", ""})
            QVERIFY2(UnitFromText(QString::fromLatin1(text)) == IntervalUnit::Seconds, text);
        QCOMPARE(TickLengthMs(IntervalUnit::Minutes), 60000);
        QCOMPARE(TickLengthMs(IntervalUnit::Seconds), 1000);

        const QLocale c(QLocale::C);
        const QLocale german(QLocale::German, QLocale::Germany);
        const auto M = IntervalUnit::Minutes, S = IntervalUnit::Seconds;
        struct Case {
            const char* text;
            IntervalUnit unit;
            const QLocale& locale;
            int ticks;  // -1: refused
            const char* message;
            const char* reset;
        };
        const Case cases[] = {
            {"59,4", S, german, 59, "", ""},
            {"59,5", S, german, -1, "Seconds must be less than 60.", "30"},
            {"59.4", S, german, -1, "Seconds must be numeric.", "30"},  // a point is not the German separator
            {" 7 ", M, c, 7, "", ""},
            // Halves go to the even neighbour, right at the upper bound too.
            {"31999.5", M, c, -1, "Minutes must be less than 32000.", "5"},
            {"31998.5", M, c, 31998, "", ""},
            {"1.5", S, c, 2, "", ""},
            {"2.5", S, c, 2, "", ""},
            // Far beyond any counter: the bound checks catch them, nothing overflows.
            {"1e12", S, c, -1, "Seconds must be less than 60.", "30"},
            {"-1e12", M, c, -1, "Minutes must be no less than 0.", "0"},
            {"+", M, c, -1, "Minutes must be numeric.", "5"},
            {"nan", M, c, -1, "Minutes must be numeric.", "5"},
            {"inf", M, c, -1, "Minutes must be numeric.", "5"},
            {"1..2", M, c, -1, "Minutes must be numeric.", "5"},
        };
        for (const Case& k : cases) {
            const IntervalCheck r = CheckInterval(QString::fromLatin1(k.text), k.unit, k.locale);
            QVERIFY2(r.accepted == (k.ticks >= 0), k.text);
            if (r.accepted)
                QVERIFY2(r.ticks == k.ticks, k.text);
            QVERIFY2(r.message == QLatin1String(k.message) && r.resetText == QLatin1String(k.reset), k.text);
            // Every reset text passes its own unit's checks.
            if (!r.accepted)
                QVERIFY2(CheckInterval(r.resetText, k.unit, c).accepted, k.text);
        }
    }
};

QTEST_GUILESS_MAIN(IntervalTest)
#include "tst_interval.moc"
