// A read's answer checked for its shape and put in order: any datagrams, for any of the reads
// whose shape is known. The first byte picks the command, the rest is the datagrams.
#include "FuzzCheck.h"
#include "FuzzDatagrams.h"
#include "console/AnswerShape.h"

#include <algorithm>

namespace {
struct Read {
    const char* command;
    bool outOfBand;
};
const Read Reads[] = {{"status", false}, {"cvarlist", false}, {"cvarlist g_*", false}, {"cmdlist", false},
    {"fdir *.bsp", false}, {"dir maps", false}, {"serverinfo", false}, {"dumpuser 3", false}, {"listbans", false},
    {"getstatus 123", true}, {"getinfo 123", true}, {"say hi", false}, {"echo x", false}};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const Read& read = Reads[data[0] % (sizeof Reads / sizeof Reads[0])];
    const QString command = QString::fromLatin1(read.command);
    const QList<QByteArray> datagrams = FuzzDatagrams(data + 1, size - 1);

    // Putting in order moves datagrams, never drops, adds or changes one; done twice, it
    // changes nothing more.
    const QList<QByteArray> ordered = OrderedByShape(command, read.outOfBand, datagrams);
    QList<QByteArray> a = datagrams;
    QList<QByteArray> b = ordered;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    FUZZ_CHECK(a == b);
    FUZZ_CHECK(OrderedByShape(command, read.outOfBand, ordered) == ordered);

    // A command that is no read of a known shape has no verdict; any other has one.
    const ShapeVerdict verdict = CheckShape(command, read.outOfBand, ordered);
    const bool unshaped = command.startsWith(QLatin1String("say")) || command.startsWith(QLatin1String("echo"));
    FUZZ_CHECK((verdict == ShapeVerdict::Unknown) == (unshaped || ordered.isEmpty()));

    // A whole status table of several datagrams is no longer whole without its last one.
    if (!read.outOfBand && command == QLatin1String("status") && verdict == ShapeVerdict::Whole && ordered.size() > 1) {
        const QByteArray& last = ordered.last();
        const QByteArray payload = last.mid(last.indexOf('\n') + 1);
        if (last.contains('\n') && payload.count('\n') != payload.size())
            FUZZ_CHECK(CheckShape(command, false, ordered.mid(0, ordered.size() - 1)) == ShapeVerdict::Broken);
    }
    return 0;
}
