#include "console/LocaleNumber.h"
#include <cfenv>
#include <cmath>

std::optional<double> ParseNumber(const QString& text, const QLocale& locale)
{
    bool ok = false;
    const double v = locale.toDouble(text, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

double RoundHalfEven(double value)
{
    const int mode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(value);
    std::fesetround(mode);
    return r;
}

std::optional<int> ConvertPort(const QString& text, const QLocale& locale)
{
    const auto v = ParseNumber(text, locale);
    if (!v)
        return std::nullopt;
    const double r = RoundHalfEven(*v);
    if (r < 1 || r > 65535)
        return std::nullopt;
    return static_cast<int>(r);
}
