#include "console/BoundServer.h"

#include "console/RconDatagram.h"
#include "console/ServerAddress.h"

QString BoundServer::text() const
{
    return ServerAddressText(host, port);
}

bool BoundServer::sameServer(const BoundServer& other) const
{
    return port == other.port && host.compare(other.host, Qt::CaseInsensitive) == 0;
}

BoundServer ReadBoundServer(const MainWindowBoxes& boxes, QString* problem)
{
    const ServerBoxes server = ReadServerBoxes(TrimSpaces(boxes.address), TrimSpaces(boxes.port));
    if (server.problemBox != ServerBoxes::None) {
        *problem = server.problem;
        return {};
    }
    const QString password = TrimSpaces(boxes.password);
    if (password.isEmpty()) {
        *problem = QStringLiteral("You must provide the rcon password.");
        return {};
    }
    problem->clear();
    return {server.host, server.port, password};
}

ExchangeRequest BoundRequest(const BoundServer& server, const QString& command,
    ExchangeRequest::Priority priority, bool outOfBand)
{
    ExchangeRequest request;
    request.host = server.host;
    request.port = server.port;
    request.password = outOfBand ? QString() : server.password;
    request.command = command;
    request.outOfBand = outOfBand;
    request.priority = priority;
    return request;
}

QString OutcomeProblem(const BoundServer& server, const ExchangeOutcome& outcome, int waitedMs)
{
    switch (outcome.kind) {
    case ExchangeOutcome::Answered:
    case ExchangeOutcome::Skipped:
    case ExchangeOutcome::Cancelled:
        return {};
    case ExchangeOutcome::BadPassword:
        return QStringLiteral("%1 answered: Bad rconpassword.").arg(server.text());
    case ExchangeOutcome::NoAnswer:
        return waitedMs > 0 ? NoAnswerLine(server.text(), waitedMs) : QStringLiteral("No answer from %1.").arg(server.text());
    case ExchangeOutcome::Refused:
    case ExchangeOutcome::NotResolved:
        break;
    }
    // The socket layer's and the resolver's words have no full stop of their own.
    const QString words = outcome.errorText.isEmpty() ? ExchangeOutcome::words(outcome.kind) : outcome.errorText;
    return QStringLiteral("%1: %2").arg(server.text(), words) + (words.endsWith(QLatin1Char('.')) ? QString() : QStringLiteral("."));
}
