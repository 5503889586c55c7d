#pragma once
#include <QString>
#include <QTime>
#include <QLocale>

// The clock seam: the time of day shown in echo lines and log records.
namespace Clock {
QTime now();
void setFixedTimeForTesting(const QTime& t);  // an invalid QTime goes back to the real clock
}

// The locale's time format with hours, minutes and seconds and nothing else (no zone, no date).
QString TimeFormatWithSeconds(const QLocale& locale);
// The current time of day as text in the user's locale, for example "14:05:09" or "2:05:09 PM".
QString TimeOfDay(const QLocale& locale = QLocale::system());
