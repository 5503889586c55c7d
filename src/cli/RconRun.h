#pragma once
#include "cli/TerminalText.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

class UdpClient;

// Sends rcon commands to one server, one after another, with the window's request, socket
// and reply code, and prints every datagram of each answer on standard output as it comes;
// what went wrong goes to standard error. The run stops at the first command that fails.
// With `log`, commands, answers and socket errors go to the log (see SetLogFile) as the
// window writes them.
class RconRun : public QObject {
    Q_OBJECT
public:
    struct Request {
        QString host;
        int port = 0;
        QString password;
        QStringList commands;
        int quietMs = 1000;  // an answer is over after this long without a datagram
        bool colours = false;
        bool log = false;
    };
    // The first datagram of an answer is awaited this long, or quietMs when longer.
    static constexpr int FirstDatagramMs = 3000;
    // Sends start at least this far apart: the server answers a burst of about ten requests
    // from one address, then about one a second, and nothing at all over that.
    static constexpr int SendSpacingMs = 1100;

    explicit RconRun(const Request& request, QObject* parent = nullptr);
    void start();

signals:
    void finished(int exitStatus);

private:
    enum State { Pacing, Awaiting, Receiving, Done };
    void send();
    void arrived();
    void timedOut();
    void failed(const QString& description);
    void finish(int exitStatus);
    QString server() const;

    Request m_request;
    UdpClient* m_client;
    TerminalText m_text;
    QTimer m_timer;
    QElapsedTimer m_sinceSend;
    State m_state = Pacing;
    int m_next = 0;  // the command sent last, or to send next while pacing
    int m_answerStatus = 0;
};
