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

QString OutcomeProblem(const BoundServer& server, const ExchangeOutcome& outcome)
{
    switch (outcome.kind) {
    case ExchangeOutcome::Answered:
        return {};
    case ExchangeOutcome::BadPassword:
        return QStringLiteral("%1 answered: Bad rconpassword.").arg(server.text());
    case ExchangeOutcome::NoAnswer:
        return QStringLiteral("No answer from %1.").arg(server.text());
    default:
        break;
    }
    const QString words = outcome.errorText.isEmpty() ? ExchangeOutcome::words(outcome.kind) : outcome.errorText;
    return QStringLiteral("%1: %2.").arg(server.text(), words);
}
