// Colour codes: any text, as a server might print it, read whole and read in two parts as
// two datagrams of one reply are.
#include "FuzzCheck.h"
#include "console/ColourCodes.h"

#include <QString>
#include <QVector>
#include <cstdint>

using namespace ColourCodes;

namespace {
// The colour of each character of the reading's text, from its runs, which cover the text
// in order.
QVector<int> checkedColours(const Reading& r)
{
    QVector<int> colours;
    for (const Run& run : r.runs) {
        FUZZ_CHECK(run.start == colours.size() && run.length > 0 && run.colour >= Plain && run.colour <= 7);
        colours.insert(colours.size(), run.length, run.colour);
    }
    FUZZ_CHECK(colours.size() == r.text.size());
    return colours;
}

// Every code put back where it was taken out.
QString putBack(const Reading& r)
{
    QString back = r.text;
    for (int i = r.codes.size() - 1; i >= 0; --i) {
        FUZZ_CHECK(IsCodeCharacter(r.codes.at(i).character) && r.codes.at(i).position <= r.text.size());
        back.insert(r.codes.at(i).position, QLatin1Char('^') + r.codes.at(i).character);
    }
    return back;
}
}

// The first byte: the colour the text starts in; the second: where it is cut in two; the rest:
// the text, one character per byte as replies are decoded.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int start = size > 0 ? data[0] % 9 - 1 : Plain;
    const QString input = size > 2 ? QString::fromLatin1(reinterpret_cast<const char*>(data) + 2, int(size) - 2) : QString();
    const int cut = size > 1 ? data[1] % (input.size() + 1) : 0;

    const Reading whole = Read(input, start);
    const QVector<int> colours = checkedColours(whole);
    FUZZ_CHECK(putBack(whole) == input);
    FUZZ_CHECK(!whole.tookCaret && Strip(input) == Read(input).text);

    // The second part goes on in the colour the first ended in, and a "^" that ended the first
    // makes a code with a letter or digit that starts the second: the same as read whole.
    const Reading first = Read(input.left(cut), start);
    const Reading second = Read(input.mid(cut), first.colourAtEnd, input.left(cut).endsWith(QLatin1Char('^')));
    FUZZ_CHECK(putBack(first) + putBack(second).mid(second.tookCaret ? 1 : 0) == input);
    const int kept = first.text.size() - (second.tookCaret ? 1 : 0);
    FUZZ_CHECK(first.text.left(kept) + second.text == whole.text);
    FUZZ_CHECK(checkedColours(first).mid(0, kept) + checkedColours(second) == colours);
    FUZZ_CHECK(first.codes.size() + second.codes.size() == whole.codes.size() && second.colourAtEnd == whole.colourAtEnd);
    return 0;
}
