#include "console/SendToMany.h"

#include "console/NoAnswerLine.h"
#include "settings/Shutdown.h"
#include "console/TimeOfDay.h"
#include "log/LogFile.h"
#include "console/ServerPasswords.h"

QString SendResult::outcomeWords() const
{
    if (noPassword)
        return QStringLiteral("no password saved");
    QString words = ExchangeOutcome::words(outcome.kind);
    if (!outcome.errorText.isEmpty() && outcome.kind != ExchangeOutcome::Answered && outcome.kind != ExchangeOutcome::BadPassword)
        words += QStringLiteral(" (%1)").arg(outcome.errorText);
    return words;
}

QString SendResult::section() const
{
    QString text = QStringLiteral("== %1 (%2): %3\r\n").arg(server.shownLabel(), server.address(), outcomeWords());
    if (!noPassword && (outcome.kind == ExchangeOutcome::Answered || outcome.kind == ExchangeOutcome::BadPassword)) {
        text += outcome.text;
        if (!text.endsWith(QLatin1Char('\n')))
            text += QStringLiteral("\r\n");
        // Never taken for the whole answer: a part of it is missing.
        const QString warning = AnswerWarning(ExchangeRequest(), outcome, LineCase::Window);
        if (!warning.isEmpty())
            text += QStringLiteral("(%1)\r\n").arg(warning);
    }
    return text;
}

SendToMany::SendToMany(ServerPasswords* passwords, QObject* parent)
    : QObject(parent)
    , m_passwords(passwords)
{
}

void SendToMany::setTiming(int firstDatagramMs, int quietMs)
{
    m_timing.firstDatagramMs = firstDatagramMs;
    m_timing.quietMs = quietMs;
}

void SendToMany::start(const QList<SavedServer>& servers, const QString& command, bool log)
{
    if (ShuttingDown())
        return;
    m_pending += servers.size();
    for (const SavedServer& server : servers) {
        m_passwords->read(server.host, server.port, this, [this, server, command, log](const QString& password) {
            if (password.isEmpty()) {
                SendResult skipped;
                skipped.server = server;
                skipped.noPassword = true;
                done(skipped, log);
            } else {
                ask(server, password, command, log);
            }
        });
    }
}

void SendToMany::ask(const SavedServer& server, const QString& password, const QString& command, bool log)
{
    ExchangeRequest request;
    request.host = server.host;
    request.port = server.port;
    request.password = password;
    request.command = command;
    request.priority = ExchangeRequest::Priority::Typed;
    request.firstDatagramMs = m_timing.firstDatagramMs;
    request.quietMs = m_timing.quietMs;
    ServerExchange* exchange = ServerExchange::ask(request, this);
    if (log) {
        connect(exchange, &ServerExchange::sent, this, [server, command] {
            AppendCommandRecord(TimeOfDay(), command, QStringLiteral("   (sent to %1)").arg(server.address()));
        });
    }
    connect(exchange, &ServerExchange::finished, this, [this, server, log](const ExchangeOutcome& outcome) {
        SendResult result;
        result.server = server;
        result.outcome = outcome;
        done(result, log);
    });
}

void SendToMany::done(const SendResult& result, bool log)
{
    if (log && !result.noPassword)
        AppendLogRecord(result.section().chopped(result.section().endsWith(QStringLiteral("\r\n")) ? 2 : 0));
    --m_pending;
    emit serverDone(result);
    if (m_pending == 0)
        emit allDone();
}
