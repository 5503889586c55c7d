#pragma once
#include <QString>

// A server as admins write it: "host", "host:port", "[IPv6]", "[IPv6]:port", or a bare IPv6
// address ("::1", "2001:db8::7"), which has two or more colons and is taken whole.
struct ServerAddress {
    QString host;          // what the socket is aimed at; empty when the text names none
    QString port;          // the port the text carried, in decimal; empty when it carried none
    bool badPort = false;  // the text carried a port part that is not a whole number 1..65535
};

// Splits an address box's text (already trimmed). Text of no form above is the host as it
// stands, for the resolver to judge.
ServerAddress SplitServerAddress(const QString& text);

// A server as people write it, and as SplitServerAddress reads it back: "host:port",
// "[IPv6]:port".
QString ServerAddressText(const QString& host, int port);

// The server that the main window's address and port boxes name, checked in the order Send
// checks them. The address box may carry the port ("host:port", "[IPv6]:port"); that port
// then stands in for the port box's.
struct ServerBoxes {
    QString host;
    int port = 0;
    QString portText;  // the port as it should stand in the port box
    enum Box { None, AddressBox, PortBox };
    Box problemBox = None;  // the box to correct; None when host and port are good
    QString problem;        // the message that says what is wrong; empty when nothing is
};
// Both texts trimmed already.
ServerBoxes ReadServerBoxes(const QString& addressText, const QString& portText);
