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
    // The locale's short time format is its everyday clock without a zone or a date
    // ("h:mm AP", "HH:mm", "H.mm", "AP h:mm"); give it the seconds after the minutes, with
    // the same separator that stands between the hours and the minutes. (The long format
    // would bring a time zone, and in some locales words for hours and minutes.)
    const QString format = locale.timeFormat(QLocale::ShortFormat);

    // Find the fields outside quoted literals: the last run of 'm' and whether 's' is there.
    int minutesBegin = -1;
    int minutesEnd = -1;
    bool hasSeconds = false;
    bool quoted = false;
    for (int i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            continue;
        }
        if (quoted)
            continue;
        if (c == QLatin1Char('s'))
            hasSeconds = true;
        if (c == QLatin1Char('m')) {
            minutesBegin = i;
            while (i + 1 < format.size() && format.at(i + 1) == QLatin1Char('m'))
                ++i;
            minutesEnd = i + 1;
        }
    }
    if (hasSeconds)
        return format;
    if (minutesBegin < 0)
        return QStringLiteral("HH:mm:ss");

    // The separator: the plain characters just before the minutes ("h:mm" gives ":").
    int sepBegin = minutesBegin;
    while (sepBegin > 0) {
        const QChar c = format.at(sepBegin - 1);
        if (c.isLetter() || c == QLatin1Char('\''))
            break;
        --sepBegin;
    }
    QString separator = format.mid(sepBegin, minutesBegin - sepBegin);
    if (separator.isEmpty() || separator.contains(QLatin1Char(' ')))
        separator = QStringLiteral(":");
    QString out = format;
    out.insert(minutesEnd, separator + QStringLiteral("ss"));
    return out;
}

QString TimeOfDay(const QLocale& locale)
{
    return locale.toString(Clock::now(), TimeFormatWithSeconds(locale));
}
