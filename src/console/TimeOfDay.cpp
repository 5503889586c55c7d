#include "console/TimeOfDay.h"

namespace {
QTime& fixedTime()
{
    static QTime t;
    return t;
}
}

QTime Clock::now()
{
    return fixedTime().isValid() ? fixedTime() : QTime::currentTime();
}

void Clock::setFixedTimeForTesting(const QTime& t)
{
    fixedTime() = t;
}

QString TimeFormatWithSeconds(const QLocale& locale)
{
    // The long format has the seconds but may carry a time zone ("t"); drop the zone
    // and the blanks around it, leaving quoted literals alone.
    const QString longFormat = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (int i = 0; i < longFormat.size(); ++i) {
        const QChar c = longFormat.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            out += c;
            continue;
        }
        if (!quoted && c == QLatin1Char('t')) {
            while (i + 1 < longFormat.size() && longFormat.at(i + 1) == QLatin1Char('t'))
                ++i;
            continue;
        }
        out += c;
    }
    out = out.trimmed();
    if (!out.contains(QLatin1String("ss")) && !out.contains(QLatin1Char('s'))) {
        // A locale whose format lacks seconds: add them after the minutes.
        const int m = out.lastIndexOf(QLatin1String("mm"));
        if (m >= 0)
            out.insert(m + 2, QLatin1String(":ss"));
        else
            out = QStringLiteral("HH:mm:ss");
    }
    return out;
}

QString TimeOfDay(const QLocale& locale)
{
    return locale.toString(Clock::now(), TimeFormatWithSeconds(locale));
}
