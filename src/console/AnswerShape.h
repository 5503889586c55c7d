#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

// What a read's answer looks like when it came whole, for the reads whose form is known:
//   status       "map: NAME", the column header, a line of dashes, a row per client in
//                ascending client numbers, then an empty line
//   cvarlist     a line per variable, then "N total cvars" (and "N cvar indexes"); without
//                a filter, N lines (or more: a game log line printed meanwhile) were listed
//   cmdlist      a name a line, then "N commands", N names listed (or more)
//   fdir         a line of dashes, a file a line, then "N files listed", N files listed (or more)
//   dir          "Directory of ..." and a line of dashes first (its end has no mark)
//   serverinfo   "Server info settings:" first
//   dumpuser     "userinfo" and a line of dashes first
//   listbans     only "Ban #N: ADDRESS/P" lines numbered from 1, then "Except #N: ..." lines
//                numbered from 1 (empty: no bans)
//   getstatus    one "statusResponse" datagram: an info line, then players that all read
//   getinfo      one "infoResponse" datagram with its info line
// The server splits long output into datagrams of about a kilobyte, anywhere, even inside a
// line; a datagram lost or two swapped leave a mark these shapes show. A short answer of one
// datagram that has none of its command's marks is the server's own message ("Server is not
// running.", a usage line) and counts as whole. Every byte is the server's: read, never
// trusted; the checks take time in proportion to the answer's length.
enum class ShapeVerdict {
    Unknown,  // no known form for that command: taken as it came
    Whole,
    Broken,   // a part is missing or out of place
};

// True when the command is a read whose answer has one of the forms above: it is checked, and
// put in order, only once it is over.
bool HasKnownShape(const QString& command, bool outOfBand);

// The datagrams of an answer put in order where the shape tells it: the one that begins the
// answer first, the one that ends it last, the others as they came.
QList<QByteArray> OrderedByShape(const QString& command, bool outOfBand, const QList<QByteArray>& datagrams);

// The verdict on an answer whose datagrams are in the order given.
ShapeVerdict CheckShape(const QString& command, bool outOfBand, const QList<QByteArray>& datagrams);
