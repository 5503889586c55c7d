#include "console/BanDuration.h"

#include <QRegularExpression>

namespace {
constexpr qint64 Second = 1000;
constexpr qint64 Minute = 60 * Second;
constexpr qint64 Hour = 60 * Minute;
constexpr qint64 Day = 24 * Hour;
constexpr qint64 Week = 7 * Day;
constexpr qint64 Longest = 3653 * Day;

struct Unit {
    const char* letter;
    const char* word;
    qint64 ms;
};
const Unit Units[] = {{"s", "second", Second}, {"m", "minute", Minute}, {"h", "hour", Hour}, {"d", "day", Day}, {"w", "week", Week}};
}

qint64 ReadBanDuration(const QString& text)
{
    const QString t = text.trimmed().toLower();
    if (t.isEmpty() || t == QLatin1String("permanent"))
        return 0;
    static const QRegularExpression form(QStringLiteral("^(\\d{1,7}) ?([a-z]+)$"));
    const QRegularExpressionMatch m = form.match(t);
    if (!m.hasMatch())
        return -1;
    const qint64 count = m.captured(1).toLongLong();
    const QString unit = m.captured(2);
    for (const Unit& u : Units) {
        const QString word = QString::fromLatin1(u.word);
        if (unit == QLatin1String(u.letter) || unit == word || unit == word + QLatin1Char('s')) {
            const qint64 ms = count * u.ms;
            return count > 0 && ms <= Longest ? ms : -1;
        }
    }
    return -1;
}

QStringList BanDurationChoices()
{
    return {QStringLiteral("permanent"), QStringLiteral("1 hour"), QStringLiteral("1 day"), QStringLiteral("1 week"), QStringLiteral("30 days")};
}

QString BanDurationText(qint64 ms)
{
    if (ms <= 0)
        return QStringLiteral("permanent");
    for (int i = int(std::size(Units)) - 1; i >= 0; --i) {
        const Unit& u = Units[i];
        if (ms % u.ms == 0) {
            const qint64 count = ms / u.ms;
            return QString::number(count) + QLatin1Char(' ') + QString::fromLatin1(u.word) + (count == 1 ? QString() : QStringLiteral("s"));
        }
    }
    return QString::number((ms + Second - 1) / Second) + QStringLiteral(" seconds");
}
