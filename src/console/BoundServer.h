#pragma once
#include "console/ServerExchange.h"

#include <QString>
#include <functional>

// The server a window beside the main window is bound to: the one whose list it shows, with
// the password that read that list. Its actions go there, whatever the main window's boxes
// name by then; when the boxes name another server at the next refresh, the window empties
// its list and binds to that one.
struct BoundServer {
    QString host;
    int port = 0;
    QString password;

    bool isSet() const { return port > 0; }
    QString text() const;  // "host:port", "[IPv6]:port"
    bool sameServer(const BoundServer& other) const;  // host (letter case ignored) and port
};

// The main window's address, port and password boxes as they stand, read at each refresh.
struct MainWindowBoxes {
    QString address;
    QString port;
    QString password;
};
using MainWindowBoxReader = std::function<MainWindowBoxes()>;

// The server the boxes name, checked as Send checks them; when they name none or hold no
// password, an unset server and `problem` saying what is missing.
BoundServer ReadBoundServer(const MainWindowBoxes& boxes, QString* problem);

// A request for the server: rcon with its password, or out of band (`getstatus TOKEN`).
ExchangeRequest BoundRequest(const BoundServer& server, const QString& command,
    ExchangeRequest::Priority priority, bool outOfBand = false);

// What kept a request from being answered, as a window's problem line says it; empty when it
// was answered, skipped or withdrawn. No answer is said as the main window says it: "No answer
// from 127.0.0.1:27960 to `status` after 3 tries." for a read, which was asked again.
QString OutcomeProblem(const ExchangeRequest& request, const ExchangeOutcome& outcome);
