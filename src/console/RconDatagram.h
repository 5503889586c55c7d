#pragma once
#include <QByteArray>
#include <QString>

// The remote console request: FF FF FF FF "rcon " password " " command, nothing after.
// Characters become one byte each (Latin-1; characters beyond it become '?').
QByteArray BuildRequest(const QString& password, const QString& command);

// A reply datagram as display text: everything up to and including the first LF is the
// header and is dropped, CR LF pairs are removed, and every remaining LF becomes CR LF.
// One character per byte.
QString DecodeReply(const QByteArray& datagram);

// True when the first datagram of an answer (decoded) is the server's refusal of the password:
// a wrong one, or none set on the server. The server then runs nothing and says only this.
bool IsPasswordRefusal(const QString& firstDatagramText);

// Leading and trailing space characters removed; tabs and other blanks stay.
QString TrimSpaces(const QString& text);
