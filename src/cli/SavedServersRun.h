#pragma once
#include "cli/TerminalText.h"
#include "console/ServerList.h"

#include <QList>
#include <QObject>
#include <QStringList>

class SendToMany;
struct SendResult;

// Sends rcon commands to several saved servers at once, as the Servers window does (each with
// its own password from the keyring, through SendToMany), and prints each server's answers
// after a line "== LABEL (HOST:PORT)", the servers in the list's order; what went wrong goes to
// standard error after the server's answers. Each server's commands go one after another and
// stop at its first failure; a server without a saved password is skipped. The run's exit
// status is the highest of the servers'.
class SavedServersRun : public QObject {
    Q_OBJECT
public:
    struct Request {
        QList<SavedServer> servers;
        QStringList commands;
        int quietMs = 1000;  // an answer is over after this long without a datagram
        bool colours = false;
        bool log = false;
    };
    // The first datagram of an answer is awaited this long, or quietMs when longer.
    static constexpr int FirstDatagramMs = 3000;

    explicit SavedServersRun(const Request& request, QObject* parent = nullptr);
    void start();

signals:
    void finished(int exitStatus);

private:
    struct Target {
        SavedServer server;
        QString toPrint;         // printed when it is this server's turn
        QStringList problems;    // lines for standard error, told after its answers
        int next = 0;            // the command sent last
        int status = 0;
        bool done = false;
        bool incomplete = false; // an answer came incomplete or cut
    };
    void over(const SendResult& result);
    void flush();
    QString name(int index) const;

    Request m_request;
    SendToMany* m_sender;
    QList<Target> m_targets;
    int m_head = 0;          // the first server not yet printed whole
    bool m_headerShown = false;
    bool m_finished = false;
};

// --send with --group or --all, and --list: run under a QCoreApplication; the exit status.
int SendToSavedServers(const QString& group, bool all, const SavedServersRun::Request& request);
int ListSavedServers();
