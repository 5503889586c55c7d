#include "console/BoundServer.h"

#include "console/RconDatagram.h"
#include "console/ReadCommands.h"
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

QString OutcomeProblem(const ExchangeRequest& request, const ExchangeOutcome& outcome)
{
    const BoundServer server {request.host, request.port, QString()};
    switch (outcome.kind) {
    case ExchangeOutcome::Answered:
    case ExchangeOutcome::Skipped:
    case ExchangeOutcome::Cancelled:
        return {};
    case ExchangeOutcome::BadPassword:
        return QStringLiteral("%1 answered: Bad rconpassword.").arg(server.text());
    case ExchangeOutcome::NoAnswer:
        // An out-of-band query by its name alone: its token tells the admin nothing.
        return NoAnswerLine(server.text(), request.outOfBand ? CommandWord(request.command) : request.command,
            IsReadOnly(request.command, request.outOfBand), outcome.tries, LineCase::Window);
    case ExchangeOutcome::Refused:
    case ExchangeOutcome::NotResolved:
        break;
    }
    // The socket layer's and the resolver's words have no full stop of their own.
    const QString words = outcome.errorText.isEmpty() ? ExchangeOutcome::words(outcome.kind) : outcome.errorText;
    return QStringLiteral("%1: %2").arg(server.text(), words) + (words.endsWith(QLatin1Char('.')) ? QString() : QStringLiteral("."));
}
