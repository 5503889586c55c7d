#pragma once
#include <QFont>

// The window's fonts, by their classic family names first, then their metric twins.
namespace Fonts {
QFont msSansSerif(double pointSize, bool bold = false);
QFont arial(double pointSize, bool bold = false);
QFont courierNew(double pointSize);
}
