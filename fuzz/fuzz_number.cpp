// Numbers typed by the user (the port box, the query interval): any text, in several locales.
#include "FuzzCheck.h"
#include "autoquery/Interval.h"
#include "console/LocaleNumber.h"

#include <cmath>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    static const QLocale locales[] = {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates),
        QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::French, QLocale::France),
        QLocale(QLocale::Swedish, QLocale::Sweden), QLocale(QLocale::Arabic, QLocale::Egypt),
        QLocale(QLocale::Hindi, QLocale::India), QLocale(QLocale::German, QLocale::Switzerland)};
    const QLocale& locale = locales[data[0] % 8];
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 4), static_cast<int>(size - 4));

    // Any text: a finite number or nothing; rounded to a whole number, halves to the even
    // neighbour.
    const std::optional<double> v = ParseNumber(text, locale);
    const double r = v ? RoundHalfEven(*v) : 0;
    if (v) {
        FUZZ_CHECK(std::isfinite(*v) && r == std::trunc(r) && std::fabs(r - *v) <= 0.5);
        FUZZ_CHECK(std::fabs(r - *v) < 0.5 || std::fmod(r, 2.0) == 0.0);
        // The locale's own plain decimal writing reads back as the same number. (Only from zero
        // to a billion: Qt writes a negative number in Arabic with a letter mark before the
        // minus sign, and exponents in Swedish as "x10^", and refuses both when reading.)
        if (*v >= 0 && *v < 1e9)
            FUZZ_CHECK(ParseNumber(locale.toString(*v, 'f', QLocale::FloatingPointShortest), locale) == v);
    }

    // The port check accepts exactly the numbers that round to 1..65535.
    const std::optional<int> port = ConvertPort(text, locale);
    FUZZ_CHECK(port ? (v && r == *port && *port >= 1 && *port <= 65535) : (!v || r < 1 || r > 65535));

    // The interval check: accepted exactly when the number rounds into the unit's range, the
    // count preset to that value; a rejection says why and resets to a text it accepts itself.
    for (const IntervalUnit unit : {IntervalUnit::Minutes, IntervalUnit::Seconds}) {
        const IntervalCheck check = CheckInterval(text, unit, locale);
        FUZZ_CHECK(check.accepted == (v && r >= 0 && r < (unit == IntervalUnit::Minutes ? 32000 : 60)));
        FUZZ_CHECK(check.accepted ? check.ticks == r && check.message.isEmpty() : !check.message.isEmpty());
        if (!check.accepted)
            FUZZ_CHECK(CheckInterval(check.resetText, unit, locale).accepted);
    }

    // A whole number as the locale writes it (group separators and all) is a port exactly
    // when it lies in 1..65535.
    const int n = static_cast<int>(((data[1] << 16) | (data[2] << 8) | data[3]) % 140000) - 70000;
    const std::optional<int> written = ConvertPort(locale.toString(n), locale);
    FUZZ_CHECK(n >= 1 && n <= 65535 ? written == n : !written);
    return 0;
}
