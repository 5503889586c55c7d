#pragma once
#include "console/ServerExchange.h"
#include "console/ServerList.h"

#include <QObject>

class ServerPasswords;

// What one server of a send to several made of the command.
struct SendResult {
    SavedServer server;
    bool noPassword = false;  // skipped: no password saved for it
    ExchangeOutcome outcome;  // when it was asked
    // "answered", "bad password", "no answer", "refused", "not resolved", or "no password
    // saved"; the socket layer's words after it where it gave any.
    QString outcomeWords() const;
    // The section of the results: "== label (host:port): outcome", then the answer's text,
    // and a line saying so when it came incomplete or was cut.
    QString section() const;
};

// One command sent to several saved servers at once, each with its own password from the
// keyring, each through the exchange unit as a typed request (so it takes its turn in that
// server's budget before anything automatic). Each server's result is reported as soon as
// it is in; a server without a saved password is not asked. With logging on, each request
// and each result is a record of the log, with the server's address in it.
class SendToMany : public QObject {
    Q_OBJECT
public:
    SendToMany(ServerPasswords* passwords, QObject* parent = nullptr);

    // How long an answer's first datagram is awaited, and the quiet that ends it (the
    // exchange unit's own figures unless set); for the rounds started after.
    void setTiming(int firstDatagramMs, int quietMs);
    // Starts a round; a round still running goes on beside it.
    void start(const QList<SavedServer>& servers, const QString& command, bool log);
    // The servers whose result is not in yet.
    int pending() const { return m_pending; }

signals:
    void serverDone(const SendResult& result);
    // Every server of every round started has its result.
    void allDone();

private:
    void ask(const SavedServer& server, const QString& password, const QString& command, bool log);
    void done(const SendResult& result, bool log);

    ServerPasswords* m_passwords;
    int m_pending = 0;
    ExchangeRequest m_timing;  // its firstDatagramMs and quietMs
};
