#include "cli/SavedServersRun.h"

#include "cli/ExitStatus.h"
#include "console/RconDatagram.h"
#include "servers/ServerPasswords.h"

#include <QCoreApplication>

SavedServersRun::SavedServersRun(const Request& request, QObject* parent)
    : QObject(parent)
    , m_request(request)
    , m_passwords(new ServerPasswords(this))
{
    for (const SavedServer& server : request.servers) {
        Target t;
        t.server = server;
        t.text = TerminalText(request.colours);
        m_targets.append(t);
    }
    connect(m_passwords, &ServerPasswords::noKeyring, this,
        [] { Tell(QStringLiteral("there is no keyring service: no saved password can be read")); });
}

int SavedServersRun::StatusOf(ExchangeOutcome::Kind kind)
{
    switch (kind) {
    case ExchangeOutcome::Answered:
        return ExitStatus::Answered;
    case ExchangeOutcome::BadPassword:
        return ExitStatus::BadPassword;
    case ExchangeOutcome::Refused:
    case ExchangeOutcome::NotResolved:
        return ExitStatus::Refused;
    case ExchangeOutcome::NoAnswer:
    case ExchangeOutcome::Skipped:
    case ExchangeOutcome::Cancelled:
        break;
    }
    return ExitStatus::NoAnswer;
}

void SavedServersRun::start()
{
    if (m_targets.isEmpty()) {
        flush();
        return;
    }
    // Every password is asked for at once; each server starts as soon as its own is read.
    for (int i = 0; i < m_targets.size(); ++i) {
        const SavedServer& s = m_targets.at(i).server;
        m_passwords->read(s.host, s.port, this, [this, i](const QString& password) { passwordRead(i, password); });
    }
}

QString SavedServersRun::name(int index) const
{
    const SavedServer& s = m_targets.at(index).server;
    return PrintableLine(QStringLiteral("%1 (%2)").arg(s.shownLabel(), s.address()));
}

void SavedServersRun::passwordRead(int index, const QString& password)
{
    Target& t = m_targets[index];
    if (password.isEmpty()) {
        t.problems << name(index) + QStringLiteral(": no password saved; nothing was sent");
        finishTarget(index, ExitStatus::Usage);
        return;
    }
    t.password = password;
    send(index);
}

void SavedServersRun::send(int index)
{
    const Target& t = m_targets.at(index);
    ExchangeRequest request;
    request.host = t.server.host;
    request.port = t.server.port;
    request.password = t.password;
    request.command = m_request.commands.at(t.next);
    request.priority = ExchangeRequest::Priority::Typed;
    request.firstDatagramMs = qMax(FirstDatagramMs, m_request.quietMs);
    request.quietMs = m_request.quietMs;
    ServerExchange* exchange = ServerExchange::ask(request, this);
    connect(exchange, &ServerExchange::datagramArrived, this, [this, index](const QByteArray& datagram) {
        m_targets[index].toPrint += m_targets[index].text.add(DecodeReply(datagram));
        flush();
    });
    connect(exchange, &ServerExchange::finished, this,
        [this, index](const ExchangeOutcome& outcome) { over(index, outcome); });
}

void SavedServersRun::over(int index, const ExchangeOutcome& outcome)
{
    Target& t = m_targets[index];
    t.toPrint += t.text.finish();
    const int status = StatusOf(outcome.kind);
    const QString command = PrintableLine(m_request.commands.at(t.next));
    if (status == ExitStatus::Answered) {
        if (++t.next < m_request.commands.size()) {
            flush();
            send(index);
            return;
        }
    } else if (status == ExitStatus::BadPassword) {
        t.problems << QStringLiteral("%1 refused the rcon password; \"%2\" was not run").arg(name(index), command);
    } else if (status == ExitStatus::NoAnswer) {
        t.problems << QStringLiteral("no answer from %1 to \"%2\" within %3 seconds")
                          .arg(name(index), command, QString::number(qMax(FirstDatagramMs, m_request.quietMs) / 1000.0));
    } else {
        t.problems << QStringLiteral("%1: %2").arg(name(index),
            outcome.errorText.isEmpty() ? ExchangeOutcome::words(outcome.kind) : PrintableLine(outcome.errorText));
    }
    const int unsent = static_cast<int>(m_request.commands.size()) - t.next - 1;
    if (status != ExitStatus::Answered && unsent > 0)
        t.problems << (unsent == 1 ? QStringLiteral("the command after it was not sent to %1").arg(name(index))
                                   : QStringLiteral("the %1 commands after it were not sent to %2").arg(QString::number(unsent), name(index)));
    finishTarget(index, status);
}

void SavedServersRun::finishTarget(int index, int status)
{
    m_targets[index].status = status;
    m_targets[index].done = true;
    flush();
}

void SavedServersRun::flush()
{
    while (m_head < m_targets.size()) {
        Target& t = m_targets[m_head];
        if (!m_headerShown) {
            Print(stdout, QStringLiteral("== ") + name(m_head) + QLatin1Char('\n'));
            m_headerShown = true;
        }
        Print(stdout, t.toPrint);
        t.toPrint.clear();
        if (!t.done)
            return;
        for (const QString& line : t.problems)
            Tell(line);
        ++m_head;
        m_headerShown = false;
    }
    if (m_finished)
        return;
    m_finished = true;
    int worst = ExitStatus::Answered;
    for (const Target& t : m_targets)
        worst = qMax(worst, t.status);
    emit finished(worst);
}

namespace {
// The saved servers, or why there are none to use (told, with the status to exit with).
bool loadServers(QList<SavedServer>* servers)
{
    const LoadedServerList loaded = LoadServerList();
    if (!loaded.notice.isEmpty())
        Tell(PrintableLine(loaded.notice));
    *servers = loaded.servers;
    return loaded.notice.isEmpty();
}
}

int SendToSavedServers(const QString& group, bool all, const QStringList& commands, int quietMs, bool colours)
{
    SavedServersRun::Request request;
    loadServers(&request.servers);
    if (!all)
        request.servers = ServersOfGroup(request.servers, group);
    if (request.servers.isEmpty()) {
        Tell(all ? QStringLiteral("no server is saved") : QStringLiteral("no saved server is in the group \"%1\"").arg(PrintableLine(group)));
        return ExitStatus::Usage;
    }
    request.commands = commands;
    request.quietMs = quietMs;
    request.colours = colours;
    SavedServersRun run(request);
    QObject::connect(&run, &SavedServersRun::finished, QCoreApplication::instance(), &QCoreApplication::exit, Qt::QueuedConnection);
    run.start();
    return QCoreApplication::exec();
}

int ListSavedServers()
{
    QList<SavedServer> servers;
    const bool read = loadServers(&servers);
    for (const SavedServer& s : servers) {
        Print(stdout, PrintableLine(s.address()) + QLatin1Char('\t') + PrintableLine(s.group) + QLatin1Char('\t')
                + PrintableLine(s.shownLabel()) + QLatin1Char('\n'));
    }
    return read ? ExitStatus::Answered : ExitStatus::Usage;
}
