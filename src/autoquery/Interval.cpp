#include "autoquery/Interval.h"

#include "console/LocaleNumber.h"

IntervalUnit UnitFromText(const QString& text)
{
    return text == QLatin1String("Minutes") ? IntervalUnit::Minutes : IntervalUnit::Seconds;
}

int TickLengthMs(IntervalUnit unit)
{
    return unit == IntervalUnit::Minutes ? 60000 : 1000;
}

IntervalCheck CheckInterval(const QString& text, IntervalUnit unit, const QLocale& locale)
{
    const bool minutes = unit == IntervalUnit::Minutes;
    const QString noun = minutes ? QStringLiteral("Minutes") : QStringLiteral("Seconds");
    IntervalCheck out;

    const std::optional<double> value = ParseNumber(text, locale);
    if (!value) {
        out.message = noun + QStringLiteral(" must be numeric.");
        out.resetText = minutes ? QStringLiteral("5") : QStringLiteral("30");
        return out;
    }
    // Compared as a real number, so a value far beyond any integer (1e12) fails here
    // instead of overflowing a conversion.
    const double rounded = RoundHalfEven(*value);
    if (rounded >= (minutes ? 32000.0 : 60.0)) {
        out.message = minutes ? QStringLiteral("Minutes must be less than 32000.") : QStringLiteral("Seconds must be less than 60.");
        out.resetText = minutes ? QStringLiteral("5") : QStringLiteral("30");
        return out;
    }
    if (rounded < 0.0) {
        out.message = noun + QStringLiteral(" must be no less than 0.");
        out.resetText = QStringLiteral("0");
        return out;
    }
    out.accepted = true;
    out.ticks = static_cast<qint16>(rounded);  // 0 .. 31999: fits
    return out;
}
