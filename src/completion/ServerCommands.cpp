#include "completion/ServerCommands.h"

#include "completion/NameLists.h"
#include "console/ServerExchange.h"
#include "settings/Shutdown.h"
#include "settings/UserDataFolder.h"

namespace {
constexpr qint64 MaxNameFileBytes = 4 * 1024 * 1024;
}

ServerCommands::ServerCommands(QObject* parent)
    : QObject(parent)
{
}

void ServerCommands::bind(const QString& host, int port, const QString& password)
{
    const bool same = host.compare(m_host, Qt::CaseInsensitive) == 0 && port == m_port;
    if (same && (m_known || m_asking))
        return;
    if (m_asking) {
        m_asking->disconnect(this);
        m_asking->cancel();
        m_asking = nullptr;
    }
    const bool wasKnown = m_known;
    m_host = host;
    m_port = port;
    m_known = false;
    m_commands.clear();
    m_problem.clear();

    NameLists kept;
    bool cut = false;  // a file over the limit is read up to it
    const QByteArray bytes = ReadUserDataFile(NameFileName(host, port), MaxNameFileBytes, &cut);
    if (ReadNameFile(bytes, &kept, cut) && !kept.commands.isEmpty()) {
        learn(kept.commands);
        return;
    }
    if (wasKnown)
        emit changed();
    if (ShuttingDown())
        return;
    ExchangeRequest request;
    request.host = host;
    request.port = port;
    request.password = password;
    request.command = QStringLiteral("cmdlist");
    request.priority = ExchangeRequest::Priority::Automatic;
    m_asking = ServerExchange::ask(request, this);
    connect(m_asking, &ServerExchange::finished, this, &ServerCommands::answered);
}

void ServerCommands::answered(const ExchangeOutcome& outcome)
{
    m_asking = nullptr;
    const QStringList commands = outcome.kind == ExchangeOutcome::Answered ? ReadCommandList(outcome.text) : QStringList();
    if (commands.isEmpty()) {
        m_problem = outcome.kind == ExchangeOutcome::Answered ? QStringLiteral("its answer to cmdlist listed none")
                                                              : ExchangeOutcome::words(outcome.kind);
        emit changed();
        return;
    }
    // Kept with the names learned from that server, its variables as they were.
    const QString file = NameFileName(m_host, m_port);
    NameLists names;
    ReadNameFile(ReadUserDataFile(file, MaxNameFileBytes), &names);
    names.commands = commands;
    WriteUserDataFile(file, WriteNameFile(Tidy(names)));
    learn(commands);
}

void ServerCommands::learn(const QStringList& commands)
{
    for (const QString& command : commands)
        m_commands.insert(command.toLower());
    m_known = true;
    emit changed();
}

bool ServerCommands::has(const QString& command) const
{
    return m_known && m_commands.contains(command.toLower());
}

QString ServerCommands::missingText(const QString& command) const
{
    if (m_known)
        return QStringLiteral("The server has no \"%1\" command.").arg(command);
    if (!m_problem.isEmpty())
        return QStringLiteral("The server's commands could not be read (%1), so \"%2\" is not offered.").arg(m_problem, command);
    return QStringLiteral("The server's commands are not known yet.");
}
