// The status table reader: any answer, in any number of datagrams, as a server or anyone
// on the path might send it. The input is the datagrams back to back, each starting with
// four FF bytes.
#include "FuzzCheck.h"
#include "FuzzDatagrams.h"
#include "console/ColourCodes.h"
#include "players/PlayerCommands.h"
#include "players/StatusTable.h"

#include <QByteArray>
#include <QList>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> datagrams = FuzzDatagrams(data, size);
    const QString text = StatusReplyText(datagrams);
    const StatusTable table = ReadStatusTable(text);

    FUZZ_CHECK(table.found || (table.rows.isEmpty() && table.skipped == 0));
    FUZZ_CHECK(table.rows.size() + table.skipped <= text.count(QLatin1Char('\n')) + 1);
    for (const PlayerRow& row : table.rows) {
        FUZZ_CHECK(row.client >= 0 && row.client < 64);
        FUZZ_CHECK(!row.name.isEmpty() || row.isLeaving());  // a client on its way out may have none
        FUZZ_CHECK(!row.address.isEmpty() && ColourCodes::Read(row.address.left(2)).codes.isEmpty());
        FUZZ_CHECK(row.ping >= 0 || row.isConnecting() || row.isLeaving());
        // A message about the player is one command: one line, its text in one pair of quotes.
        const QString tell = TellCommand(row.client, row.name);
        FUZZ_CHECK(tell.isEmpty() || (tell.count(QLatin1Char('"')) == 2 && tell.endsWith(QLatin1Char('"'))));
        for (QChar c : tell)
            FUZZ_CHECK(c.unicode() >= 0x20 && c.unicode() != 0x7f);
        const QString ip = AddressIp(row.address);
        FUZZ_CHECK(ip.isEmpty() || row.address.contains(ip));
    }

    // The same text cut elsewhere reads the same: where the server cut it does not matter.
    const QByteArray header("\xff\xff\xff\xffprint\n");
    const QByteArray bytes = text.toLatin1();
    const int cut = bytes.size() / 2;
    const StatusTable recut = ReadStatusTable(StatusReplyText({header + bytes.left(cut), header + bytes.mid(cut)}));
    FUZZ_CHECK(recut.rows.size() == table.rows.size() && recut.skipped == table.skipped && recut.map == table.map);
    return 0;
}
