#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

// The player table of a server's answer to "status", read from the column header line the
// server sends (the client number first, and a name, a ping and an address column among the
// rest), because engines differ:
//   OpenArena (ioquake3)  cl score ping name address rate
//   classic Quake 3       num score ping name lastmsg address qport rate
// A name may hold spaces and colour codes and is padded to a column, so a row is read from
// both ends: the columns before the name from the left, those after it from the right, and
// the name is what lies between. A row that does not read that way is skipped, never guessed.

struct PlayerRow {
    int client = -1;        // 0..63
    int score = 0;
    int ping = -1;          // milliseconds; -1 while connecting or dropped
    QString pingText;       // as the server wrote it: "48"; "CNCT" or "CON" (connecting), "ZMBI" or "ZMB" (going away)
    QString name;           // with its colour codes, as the server sent it
    QString address;        // "bot", "loopback", "192.0.2.4:27960", "[2001:db8::5]:27960", ...
    int rate = -1;
    int lastMsg = -1;       // -1 where the server has no such column
    int qport = -1;
    bool isBot() const { return address == QLatin1String("bot"); }
    // Classic Quake 3 writes CNCT and ZMBI in the ping column, current ioquake3 CON and ZMB.
    bool isConnecting() const { return pingText == QLatin1String("CNCT") || pingText == QLatin1String("CON"); }
    bool isLeaving() const { return pingText == QLatin1String("ZMBI") || pingText == QLatin1String("ZMB"); }
};

struct StatusTable {
    bool found = false;    // the answer held a player table (its header line)
    QString map;
    QStringList columns;   // the header's column names, in the server's order
    QVector<PlayerRow> rows;
    int skipped = 0;       // rows that could not be read
    bool hasColumn(const char* name) const { return columns.contains(QLatin1String(name)); }
};

// The text of a reply that came in one or more datagrams, in arrival order: each one's
// header line ("\xff\xff\xff\xffprint") dropped, one character per byte. A line the server
// cut between two datagrams comes out whole.
QString StatusReplyText(const QList<QByteArray>& datagrams);

// Reads the table out of a reply's text.
StatusTable ReadStatusTable(const QString& text);
