#pragma once
#include <QByteArray>
#include <QString>

// A game client that stops halfway: it asks the server on 127.0.0.1:`port` for a challenge,
// sends its connect request under `name`, and then never says anything more, so that the
// server keeps its slot in the connecting state until the slot times out or is kicked.
// Empty when the server took it; otherwise what went wrong, with the server's answer.
QString ConnectAndStall(quint16 port, const QByteArray& name);
