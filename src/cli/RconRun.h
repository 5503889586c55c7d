#pragma once
#include "cli/TerminalText.h"

#include "console/ServerExchange.h"

#include <QObject>
#include <QStringList>


// Sends rcon commands to one server, one after another, through the exchange unit, and
// prints every datagram of each answer on standard output as it comes (a read's answer once
// it is over, whole and in order, as it may be asked again); what went wrong goes to standard
// error, and so does the warning of an answer that came incomplete. The next command goes as soon as the answer before it is over and the
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
    bool reading() const;  // the command asked last only reads
    void arrived(const QByteArray& datagram, const QString& text);
    void print(const QString& text);
    void answered(const ExchangeOutcome& outcome);
    void finish(int exitStatus);
    QString server() const;

    Request m_request;
    TerminalText m_text;
    ServerExchange* m_exchange = nullptr;
    ExchangeRequest m_exchangeRequest;  // the command asked last, as asked
    int m_tries = 1;                    // how many times it went out
    bool m_incomplete = false;          // an answer came incomplete or cut
    int m_next = 0;       // the command asked last
};
