// Numbers typed by the user (the port box, the query interval): any text, in several locales.
#include "FuzzCheck.h"
#include "autoquery/Interval.h"
#include "console/LocaleNumber.h"

#include <QLocale>
#include <QString>
#include <cfenv>
#include <cmath>
#include <cstdint>

namespace {
const QLocale& localeFor(uint8_t selector)
{
    static const QLocale locales[] = {
        QLocale::c(),
        QLocale(QLocale::English, QLocale::UnitedStates),
        QLocale(QLocale::German, QLocale::Germany),
        QLocale(QLocale::French, QLocale::France),
        QLocale(QLocale::Swedish, QLocale::Sweden),
        QLocale(QLocale::Arabic, QLocale::Egypt),
        QLocale(QLocale::Hindi, QLocale::India),
        QLocale(QLocale::German, QLocale::Switzerland),
    };
    return locales[selector % (sizeof(locales) / sizeof(locales[0]))];
}

void checkRounding(double v)
{
    const int mode = std::fegetround();
    const double r = RoundHalfEven(v);
    FUZZ_CHECK(std::fegetround() == mode);  // the caller's rounding mode is left as it was
    FUZZ_CHECK(std::isfinite(r));
    FUZZ_CHECK(r == std::trunc(r));
    FUZZ_CHECK(std::fabs(r - v) <= 0.5);
    if (std::fabs(r - v) == 0.5)
        FUZZ_CHECK(std::fmod(r, 2.0) == 0.0);  // halves go to the even neighbour
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    const QLocale& locale = localeFor(data[0]);
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 4), static_cast<int>(size - 4));

    // Any text: a finite number or nothing.
    const std::optional<double> v = ParseNumber(text, locale);
    if (v) {
        FUZZ_CHECK(std::isfinite(*v));
        checkRounding(*v);
        // The locale's own way of writing the number, in plain decimal notation as a user
        // types it, reads back as the same number. (Only for numbers from zero to a billion:
        // Qt writes a negative number in Arabic with a letter mark before the minus sign, and
        // exponents in Swedish as "x10^", and then refuses both when reading; a negative or
        // huge port or interval is refused either way.)
        if (*v >= 0 && *v < 1e9) {
            const std::optional<double> again = ParseNumber(locale.toString(*v, 'f', QLocale::FloatingPointShortest), locale);
            FUZZ_CHECK(again && *again == *v);
        }
    }

    // The port check accepts exactly the numbers that round to 1..65535.
    const std::optional<int> port = ConvertPort(text, locale);
    if (port) {
        FUZZ_CHECK(*port >= 1 && *port <= 65535);
        FUZZ_CHECK(v && RoundHalfEven(*v) == *port);
    } else {
        FUZZ_CHECK(!v || RoundHalfEven(*v) < 1 || RoundHalfEven(*v) > 65535);
    }

    // The interval check: accepted exactly when the number rounds into the unit's range, with
    // the count preset to that value; a rejection carries a reset text that is accepted itself.
    for (const IntervalUnit unit : {IntervalUnit::Minutes, IntervalUnit::Seconds}) {
        const double bound = unit == IntervalUnit::Minutes ? 32000 : 60;
        const IntervalCheck check = CheckInterval(text, unit, locale);
        const bool inRange = v && RoundHalfEven(*v) >= 0 && RoundHalfEven(*v) < bound;
        FUZZ_CHECK(check.accepted == inRange);
        if (check.accepted) {
            FUZZ_CHECK(check.ticks == RoundHalfEven(*v));
            FUZZ_CHECK(check.message.isEmpty());
        } else {
            FUZZ_CHECK(!check.message.isEmpty());
            FUZZ_CHECK(CheckInterval(check.resetText, unit, locale).accepted);
        }
    }

    // A whole number as the locale writes it (group separators and all) is a port exactly
    // when it lies in 1..65535.
    const int n = static_cast<int>(((data[1] << 16) | (data[2] << 8) | data[3]) % 140000) - 70000;
    const std::optional<int> written = ConvertPort(locale.toString(n), locale);
    if (n >= 1 && n <= 65535)
        FUZZ_CHECK(written && *written == n);
    else
        FUZZ_CHECK(!written);
    return 0;
}
