#pragma once
#include "cli/TerminalText.h"

#include <QObject>
#include <QStringList>

class ServerExchange;
struct ExchangeOutcome;

// Sends rcon commands to one server, one after another, through the exchange unit, and
// prints every datagram of each answer on standard output as it comes; what went wrong goes
// to standard error. The next command goes as soon as the answer before it is over and the
// server's request budget allows. The run stops at the first command that fails. With `log`,
// commands, answers and socket errors go to the log (see SetLogFile) as the window writes
// them.
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

    explicit RconRun(const Request& request, QObject* parent = nullptr);
    void start();

signals:
    void finished(int exitStatus);

private:
    void send();
    void sent();
    void arrived(const QByteArray& datagram, const QString& text);
    void answered(const ExchangeOutcome& outcome);
    void finish(int exitStatus);
    QString server() const;

    Request m_request;
    TerminalText m_text;
    ServerExchange* m_exchange = nullptr;
    int m_next = 0;       // the command asked last
};
