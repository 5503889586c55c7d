// Reply decoding: any datagram, as a server or anyone on the path might send it.
#include "FuzzCheck.h"
#include "console/RconDatagram.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace {
// The decoding written out byte by byte: drop up to and including the first LF, drop each
// CR LF pair found scanning left to right, turn every other LF into CR LF.
QByteArray expectedText(const QByteArray& datagram, int* pairsRemoved, int* lfsKept)
{
    const int lf = datagram.indexOf('\n');
    const QByteArray body = lf >= 0 ? datagram.mid(lf + 1) : datagram;
    QByteArray withoutPairs;
    *pairsRemoved = 0;
    for (int i = 0; i < body.size(); ++i) {
        if (body[i] == '\r' && i + 1 < body.size() && body[i + 1] == '\n') {
            ++*pairsRemoved;
            ++i;
            continue;
        }
        withoutPairs += body[i];
    }
    QByteArray out;
    *lfsKept = 0;
    for (char c : withoutPairs) {
        if (c == '\n') {
            out += "\r\n";
            ++*lfsKept;
        } else {
            out += c;
        }
    }
    return out;
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray datagram(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const QString text = DecodeReply(datagram);

    // One character per byte, nothing above Latin-1.
    for (QChar c : text)
        FUZZ_CHECK(c.unicode() < 256);
    // Every line end is CR LF: the pane never gets a lone LF.
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('\n'))
            FUZZ_CHECK(i > 0 && text.at(i - 1) == QLatin1Char('\r'));
    }
    // Exactly the decoding written out by hand, and its length follows from the input's.
    int pairs = 0;
    int lfs = 0;
    const QByteArray expected = expectedText(datagram, &pairs, &lfs);
    FUZZ_CHECK(text.toLatin1() == expected);
    const int lf = datagram.indexOf('\n');
    const int bodySize = lf >= 0 ? datagram.size() - lf - 1 : datagram.size();
    FUZZ_CHECK(text.size() == bodySize - 2 * pairs + lfs);
    FUZZ_CHECK(text.size() <= 2 * bodySize);

    // A server's print reply whose text uses LF line ends comes out whole, LF as CR LF.
    QByteArray plain = datagram;
    plain.replace('\r', QByteArray());
    const QString shown = DecodeReply(QByteArray("\xff\xff\xff\xff" "print\n", 10) + plain);
    QString back = shown;
    back.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    FUZZ_CHECK(back == QString::fromLatin1(plain));
    FUZZ_CHECK(shown.count(QLatin1String("\r\n")) == plain.count('\n'));
    return 0;
}
