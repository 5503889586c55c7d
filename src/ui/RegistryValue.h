#pragma once
#include <QByteArray>
#include <QString>
#include <functional>

// Registry values as the system information lookup of the About box reads them.
namespace RegistryValue {
constexpr quint32 HKeyLocalMachine = 0x80000002;
constexpr quint32 TypeString = 1;  // REG_SZ
constexpr quint32 TypeDword = 4;   // REG_DWORD, little-endian

// Turns the bytes a value query wrote into the text of the value. A trailing zero byte is
// cut first (a string's terminator, or the top byte of a number that has it zero). Strings
// are read as 8-bit text, one character per byte (Latin-1). A 32-bit number appends, from its
// last kept byte to its first, each byte in upper-case hexadecimal without leading zero to
// what `keyVal` already holds, and puts "&h" in front of the whole; the text stays like that
// (it is not turned into a decimal number). Any other type gives `keyVal` back unchanged.
QString Decode(const QByteArray& written, quint32 type, const QString& keyVal);

// One raw read: opens the key under the root, queries the named value into a 1024-byte
// buffer, closes the key. True when both the open and the query succeeded.
struct Raw {
    QByteArray written;
    quint32 type = 0;
};
using Reader = std::function<bool(quint32 root, const QString& keyName, const QString& valueName, Raw& out)>;

// This platform has no registry: the read always finds nothing. Tests may install a reader
// that plays a registry (an empty reader puts the platform's back).
bool Read(quint32 root, const QString& keyName, const QString& valueName, Raw& out);
void setReaderForTesting(Reader reader);
}
