#pragma once
#include "cli/TerminalText.h"
#include "console/ServerExchange.h"
#include "servers/ServerList.h"

#include <QList>
#include <QObject>
#include <QStringList>

class ServerPasswords;

// Sends rcon commands to several saved servers at once, each with its own password from the
// keyring, and prints each server's answers after a line "== LABEL (HOST:PORT)", the servers
// in the list's order (one's answers are printed as they come while it is first in line, the
// others' once it is their turn). What went wrong goes to standard error. Each server's
// commands go one after another, through the server's request budget, and stop at its first
// failure; a server without a saved password is skipped. The run's exit status is the
// highest of the servers'.
class SavedServersRun : public QObject {
    Q_OBJECT
public:
    struct Request {
        QList<SavedServer> servers;
        QStringList commands;
        int quietMs = 1000;  // an answer is over after this long without a datagram
        bool colours = false;
    };
    // The first datagram of an answer is awaited this long, or quietMs when longer.
    static constexpr int FirstDatagramMs = 3000;

    explicit SavedServersRun(const Request& request, QObject* parent = nullptr);
    void start();

    // The exit status an exchange's outcome gives (ExitStatus).
    static int StatusOf(ExchangeOutcome::Kind kind);

signals:
    void finished(int exitStatus);

private:
    struct Target {
        SavedServer server;
        QString password;
        TerminalText text{false};
        QString toPrint;         // printed when it is this server's turn
        QStringList problems;    // lines for standard error, told after its answers
        int next = 0;            // the command sent last, or to send next
        int status = 0;
        bool done = false;
    };
    void passwordRead(int index, const QString& password);
    void send(int index);
    void over(int index, const ExchangeOutcome& outcome);
    void finishTarget(int index, int status);
    void flush();
    QString name(int index) const;

    Request m_request;
    ServerPasswords* m_passwords;
    QList<Target> m_targets;
    int m_head = 0;          // the first server not yet printed whole
    bool m_headerShown = false;
    bool m_finished = false;
};

// --send with --group or --all, and --list: run under a QCoreApplication; the exit status.
int SendToSavedServers(const QString& group, bool all, const QStringList& commands, int quietMs, bool colours);
int ListSavedServers();
