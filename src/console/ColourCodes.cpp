#include "console/ColourCodes.h"

#include <cmath>

namespace ColourCodes {
namespace {
bool isCodeCharacter(QChar c)
{
    const ushort u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
}

void addRun(Reading& r, int start, int colour)
{
    const int length = r.text.size() - start;
    if (length <= 0)
        return;
    if (!r.runs.isEmpty() && r.runs.last().colour == colour && r.runs.last().start + r.runs.last().length == start)
        r.runs.last().length += length;
    else
        r.runs.append(Run{start, length, colour});
}
}

Reading Read(const QString& input, int colour)
{
    Reading r;
    r.text.reserve(input.size());
    int runStart = 0;
    for (int i = 0; i < input.size(); ++i) {
        const QChar c = input.at(i);
        if (c == QLatin1Char('^') && i + 1 < input.size() && isCodeCharacter(input.at(i + 1))) {
            addRun(r, runStart, colour);
            runStart = r.text.size();
            r.codes.append(Code{static_cast<int>(r.text.size()), input.at(i + 1)});
            colour = IndexOf(input.at(i + 1));
            ++i;
            continue;
        }
        r.text += c;
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            // The line end itself is drawn in the colour of its line; the next line starts plain.
            addRun(r, runStart, colour);
            runStart = r.text.size();
            colour = Plain;
        }
    }
    addRun(r, runStart, colour);
    r.colourAtEnd = colour;
    return r;
}

QString Strip(const QString& input)
{
    return Read(input).text;
}

QColor PaneColour(int index)
{
    // Black and blue are lightened the most: the game's own would vanish into the pane.
    static const QColor colours[8] = {
        QColor(0xb0, 0xb0, 0xb0),  // 0 black, drawn as grey
        QColor(0xff, 0x80, 0x80),  // 1 red
        QColor(0x40, 0xff, 0x40),  // 2 green
        QColor(0xff, 0xff, 0x00),  // 3 yellow
        QColor(0xa0, 0xa0, 0xff),  // 4 blue
        QColor(0x40, 0xff, 0xff),  // 5 cyan
        QColor(0xff, 0x80, 0xff),  // 6 magenta
        QColor(0xff, 0xff, 0xff),  // 7 white
    };
    return colours[index & 7];
}

double RelativeLuminance(const QColor& c)
{
    auto channel = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double ContrastRatio(const QColor& a, const QColor& b)
{
    const double la = RelativeLuminance(a);
    const double lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

}
