#pragma once
#include <QLocale>
#include <QString>
#include <optional>

// Numbers typed by the user: read in the user's locale notation (blanks around, a sign,
// digits and the locale's decimal separator), never infinite or NaN.
std::optional<double> ParseNumber(const QString& text, const QLocale& locale = QLocale::system());

// Round to the nearest whole number, halves to the even neighbour (59.5 -> 60, 58.5 -> 58).
double RoundHalfEven(double value);

// The port text as the socket takes it: a number, rounded, that is a port from 1 to 65535.
std::optional<int> ConvertPort(const QString& text, const QLocale& locale = QLocale::system());
