#pragma once
#include <QLocale>
#include <QString>
#include <QtGlobal>

// The automatic query's interval: its unit, the tick length of that unit, and the checks
// a typed interval must pass.
enum class IntervalUnit { Minutes, Seconds };

// Minutes only for the exact, whole text "Minutes"; anything else (a partly typed word,
// another case) counts in seconds.
IntervalUnit UnitFromText(const QString& text);

// Milliseconds between two ticks of the query timer.
int TickLengthMs(IntervalUnit unit);

// The outcome of checking an interval text. An accepted interval gives the tick count to
// preset; a rejected one gives the message to show and the text to put back in the box.
struct IntervalCheck {
    bool accepted = false;
    qint16 ticks = 0;
    QString message;
    QString resetText;
};

// Checks, in this order: the text is a number (in the locale's notation), its rounded
// value (halves to even) is below the unit's bound (32000 minutes, 60 seconds), and it is
// at least 0. The first check that fails decides the message and the reset text. A value
// too large for any counter simply fails the upper bound.
IntervalCheck CheckInterval(const QString& text, IntervalUnit unit, const QLocale& locale = QLocale::system());
