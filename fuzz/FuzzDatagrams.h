#pragma once
// A fuzz input read as a server's answer: the datagrams back to back, each starting with
// four FF bytes (the first may lack them).
#include <QByteArray>
#include <QList>
#include <cstddef>
#include <cstdint>

inline QList<QByteArray> FuzzDatagrams(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const QByteArray marker("\xff\xff\xff\xff", 4);
    QList<QByteArray> datagrams;
    for (int at = 0; at < input.size();) {
        const int next = input.indexOf(marker, at + 1);
        datagrams.append(input.mid(at, next < 0 ? -1 : next - at));
        at = next < 0 ? input.size() : next;
    }
    return datagrams;
}
