// Reply decoding: any datagram, as a server or anyone on the path might send it.
#include "FuzzCheck.h"
#include "console/RconDatagram.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray datagram(reinterpret_cast<const char*>(data), static_cast<int>(size));

    // The decoding written out byte by byte: drop up to and including the first LF, drop each
    // CR LF pair found scanning left to right, turn every other LF into CR LF; one character
    // per byte. So every line end in the pane is CR LF.
    QByteArray expected;
    for (int i = datagram.indexOf('\n') + 1; i < datagram.size(); ++i) {
        if (datagram[i] == '\r' && i + 1 < datagram.size() && datagram[i + 1] == '\n')
            ++i;
        else
            expected += datagram[i] == '\n' ? QByteArray("\r\n") : QByteArray(1, datagram[i]);
    }
    const QString text = DecodeReply(datagram);
    FUZZ_CHECK(text.size() == expected.size() && text.toLatin1() == expected);

    return 0;
}
