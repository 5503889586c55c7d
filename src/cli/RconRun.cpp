#include "cli/RconRun.h"

#include "cli/CommandLine.h"
#include "cli/ExitStatus.h"
#include "console/RconDatagram.h"
#include "console/ReadCommands.h"
#include "console/ServerAddress.h"
#include "console/ServerExchange.h"
#include "console/TimeOfDay.h"
#include "log/LogFile.h"

RconRun::RconRun(const Request& request, QObject* parent)
    : QObject(parent)
    , m_request(request)
    , m_text(request.colours)
{
}

void RconRun::start()
{
    send();
}

QString RconRun::server() const
{
    return ServerAddressText(m_request.host, m_request.port);
}

void RconRun::send()
{
    ExchangeRequest r;
    r.host = m_request.host;
    r.port = m_request.port;
    r.password = m_request.password;
    r.command = m_request.commands.at(m_next);
    r.firstDatagramMs = qMax(FirstDatagramMs, m_request.quietMs);
    r.quietMs = m_request.quietMs;
    m_exchangeRequest = r;
    m_exchange = ServerExchange::ask(r, this);
    connect(m_exchange, &ServerExchange::sent, this, &RconRun::sent);
    connect(m_exchange, &ServerExchange::datagramArrived, this, &RconRun::arrived);
    connect(m_exchange, &ServerExchange::finished, this, &RconRun::answered);
}

void RconRun::sent()
{
    // Logged when it goes out, not while it waits for the server's request limit.
    const QString command = m_request.commands.at(m_next);
    if (m_request.log && !AppendCommandRecord(TimeOfDay(), command))
        Tell(QStringLiteral("cannot write the log %1").arg(LogFilePath()));
}

bool RconRun::reading() const
{
    return IsReadOnly(m_request.commands.at(m_next), false);
}

void RconRun::arrived(const QByteArray&, const QString& text)
{
    if (reading())
        return;  // a read's answer is printed whole and in order once it is over: it may be asked again
    print(text);
}

void RconRun::print(const QString& text)
{
    Print(stdout, m_text.add(text));
    if (m_request.log)
        BeginOrContinueReplyRecord(text);
}

void RconRun::answered(const ExchangeOutcome& outcome)
{
    m_exchange = nullptr;
    if (reading() && !outcome.text.isEmpty())
        print(outcome.text);
    Print(stdout, m_text.finish());
    if (m_request.log)
        EndOpenRecord();
    m_tries = outcome.tries;
    switch (outcome.kind) {
    case ExchangeOutcome::Answered: {
        const QString warning = AnswerWarning(m_exchangeRequest, outcome, LineCase::Terminal);
        if (!warning.isEmpty()) {
            Tell(warning);
            m_incomplete = true;
        }
        if (++m_next == m_request.commands.size())
            return finish(m_incomplete ? ExitStatus::Incomplete : ExitStatus::Answered);
        return send();
    }
    case ExchangeOutcome::BadPassword:
        return finish(ExitStatus::BadPassword);
    case ExchangeOutcome::NoAnswer:
        return finish(ExitStatus::NoAnswer);
    case ExchangeOutcome::Refused:
    case ExchangeOutcome::NotResolved:
    case ExchangeOutcome::Skipped:
    case ExchangeOutcome::Cancelled:
        Tell(server() + QStringLiteral(": ") + outcome.errorText);
        if (m_request.log)
            AppendLogRecord(outcome.errorText + QStringLiteral("\r\n"));  // as the window logs a socket error
        return finish(ExitStatus::Refused);
    }
}

void RconRun::finish(int exitStatus)
{
    const QString command = m_request.commands.value(m_next);
    if (exitStatus == ExitStatus::BadPassword)
        Tell(QStringLiteral("%1 refused the rcon password; \"%2\" was not run").arg(server(), command));
    else if (exitStatus == ExitStatus::NoAnswer)
        Tell(NoAnswerLine(server(), PrintableLine(command), IsReadOnly(command, false), m_tries, LineCase::Terminal));
    const int unsent = m_request.commands.size() - m_next - 1;
    if (exitStatus != ExitStatus::Answered && exitStatus != ExitStatus::Incomplete && unsent > 0)
        Tell(unsent == 1 ? QStringLiteral("the command after it was not sent")
                         : QStringLiteral("the %1 commands after it were not sent").arg(unsent));
    emit finished(exitStatus);
}
