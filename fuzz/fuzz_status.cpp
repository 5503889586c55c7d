// The reader of a server's answer to "getstatus": one datagram of any bytes, as a server or
// anyone on the path might send it.
#include "FuzzCheck.h"
#include "console/StatusResponse.h"

#include <QByteArray>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const StatusResponse r = ReadStatusResponse(input);

    FUZZ_CHECK(r.valid || (r.info.isEmpty() && r.players.isEmpty() && r.skipped == 0));
    FUZZ_CHECK(!r.valid || input.startsWith(QByteArray("\xff\xff\xff\xff", 4)));
    // Every player read has a name of one line and a ping of zero or more.
    for (const StatusPlayer& p : r.players) {
        FUZZ_CHECK(!p.name.isEmpty());
        FUZZ_CHECK(!p.name.contains(QLatin1Char('\n')));
        FUZZ_CHECK(p.ping >= 0);
    }
    // No line is read twice: players and skipped lines fit in the lines after the info line.
    FUZZ_CHECK(r.players.size() + r.skipped <= qMax(0, static_cast<int>(input.count('\n')) - 1));
    FUZZ_CHECK(r.humans() >= 0 && r.bots() >= 0 && r.humans() + r.bots() == r.players.size());
    FUZZ_CHECK(r.maxClients() >= 0);
    for (auto it = r.info.constBegin(); it != r.info.constEnd(); ++it) {
        FUZZ_CHECK(!it.key().isEmpty() && !it.key().contains(QLatin1Char('\\')) && !it.key().contains(QLatin1Char('\n')));
        FUZZ_CHECK(!it.value().contains(QLatin1Char('\\')) && !it.value().contains(QLatin1Char('\n')));
    }
    return 0;
}
