// The readers of a server's map list, ban list and a variable's value: any answer, in any
// number of datagrams, as a server or anyone on the path might send it. The input is the
// datagrams back to back, each starting with four FF bytes.
#include "FuzzCheck.h"
#include "FuzzDatagrams.h"
#include "console/BanList.h"
#include "console/RconDatagram.h"
#include "maps/MapList.h"

#include <QByteArray>
#include <QList>
#include <QRegularExpression>
#include <cstdint>

namespace {
QString joined(const QList<QByteArray>& datagrams)
{
    QString text;
    for (const QByteArray& d : datagrams)
        text += DecodeReply(d);
    return text;
}

// One command of plain words: nothing the console reads as a line end, a separator or a comment.
bool oneCommand(const QString& command)
{
    static const QRegularExpression plain(QStringLiteral("^[a-z_]+ (?!.*//)[^\\s;\"\\\\$%^]+$|^map \"[^\\s;\"/\\\\$%^]+\"$"));
    return plain.match(command).hasMatch();
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> datagrams = FuzzDatagrams(data, size);
    const QString text = joined(datagrams);

    const MapList maps = ReadMapList(text);
    FUZZ_CHECK(maps.found || maps.names.isEmpty());
    for (int i = 0; i < maps.names.size(); ++i) {
        FUZZ_CHECK(IsMapName(maps.names.at(i)) && oneCommand(ChangeMapCommand(maps.names.at(i))));
        FUZZ_CHECK(i == 0 || maps.names.at(i - 1).compare(maps.names.at(i), Qt::CaseInsensitive) <= 0);
        FUZZ_CHECK(i == 0 || maps.names.at(i - 1) != maps.names.at(i));
    }
    FUZZ_CHECK(ReadMapFile(WriteMapFile(maps.names)) == maps.names);

    for (const BanEntry& e : ReadBanList(text)) {
        FUZZ_CHECK(e.number > 0 && e.prefix >= 0 && e.prefix <= 128);
        const QString command = RemoveCommand(e);
        FUZZ_CHECK(oneCommand(command) && command.endsWith(QLatin1Char('/') + QString::number(e.prefix)));
        FUZZ_CHECK(!CheckBanAddress(e.target()).isEmpty());
    }
    // Whatever the admin types: an address the check accepts reads back as itself and makes one command.
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QString checked = CheckBanAddress(line);
        FUZZ_CHECK(checked.isEmpty() || (CheckBanAddress(checked) == checked && oneCommand(AddCommand(BanEntry::Ban, line))));
        FUZZ_CHECK(!checked.isEmpty() || AddCommand(BanEntry::Exception, line).isEmpty());
    }

    const VariableValue next = ReadVariableValue(text, QStringLiteral("nextmap"));
    FUZZ_CHECK(!next.value.contains(QLatin1Char('\n')) && (next.found || next.value.isEmpty()));

    // The same answer cut elsewhere reads the same: where the server cut it does not matter
    // (where the server sends no CR of its own, which the pane drops in pairs with the LF).
    QByteArray payload;
    for (const QByteArray& d : datagrams)
        payload += d.mid(d.indexOf('\n') + 1);
    if (!payload.contains('\r')) {
        const QByteArray header("\xff\xff\xff\xffprint\n");
        const int cut = payload.size() / 3;
        const QString recut = joined({header + payload.left(cut), header + payload.mid(cut)});
        FUZZ_CHECK(ReadMapList(recut).names == maps.names);
        FUZZ_CHECK(ReadBanList(recut).size() == ReadBanList(text).size());
    }
    return 0;
}
