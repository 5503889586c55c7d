#include "cli/SavedServersRun.h"

#include "cli/ExitStatus.h"
#include "console/RconDatagram.h"
#include "console/ReadCommands.h"
#include "console/SendToMany.h"
#include "console/ServerPasswords.h"

#include <QCoreApplication>

namespace {
// The exit status an exchange's outcome gives.
int statusOf(ExchangeOutcome::Kind kind)
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
}

SavedServersRun::SavedServersRun(const Request& request, QObject* parent)
    : QObject(parent)
    , m_request(request)
{
    auto* passwords = new ServerPasswords(this);
    m_sender = new SendToMany(passwords, this);
    m_sender->setTiming(qMax(FirstDatagramMs, request.quietMs), request.quietMs);
    for (const SavedServer& server : request.servers)
        m_targets.append({server, QString(), QStringList(), 0, 0, false});
    connect(passwords, &ServerPasswords::noKeyring, this,
        [] { Tell(QStringLiteral("there is no keyring service: no saved password can be read")); });
    connect(m_sender, &SendToMany::serverDone, this, &SavedServersRun::over);
}

void SavedServersRun::start()
{
    m_sender->start(m_request.servers, m_request.commands.value(0), m_request.log);
    flush();
}

QString SavedServersRun::name(int index) const
{
    const SavedServer& s = m_targets.at(index).server;
    return PrintableLine(QStringLiteral("%1 (%2)").arg(s.shownLabel(), s.address()));
}

void SavedServersRun::over(const SendResult& result)
{
    const int index = IndexOfServer(m_request.servers, result.server.host, result.server.port);
    if (index < 0 || m_targets.at(index).done)
        return;
    Target& t = m_targets[index];
    TerminalText text(m_request.colours);
    for (const QByteArray& datagram : result.outcome.datagrams)
        t.toPrint += text.add(DecodeReply(datagram));
    t.toPrint += text.finish();
    const QString command = PrintableLine(m_request.commands.at(t.next));
    const int status = result.noPassword ? ExitStatus::Usage : statusOf(result.outcome.kind);
    if (result.noPassword) {
        t.problems << name(index) + QStringLiteral(": no password saved; nothing was sent");
    } else if (status == ExitStatus::Answered) {
        const ExchangeRequest asked;  // a send to several asks within the exchange's own limits
        const QString warning = AnswerWarning(asked, result.outcome, LineCase::Terminal);
        if (!warning.isEmpty()) {
            t.problems << QStringLiteral("%1: %2").arg(name(index), warning);
            t.incomplete = true;
        }
        if (++t.next < m_request.commands.size()) {
            m_sender->start({t.server}, m_request.commands.at(t.next), m_request.log);
            flush();
            return;
        }
    } else if (status == ExitStatus::BadPassword) {
        t.problems << QStringLiteral("%1 refused the rcon password; \"%2\" was not run").arg(name(index), command);
    } else if (status == ExitStatus::NoAnswer) {
        t.problems << NoAnswerLine(name(index), command, IsReadOnly(command, false), result.outcome.tries, LineCase::Terminal);
    } else {
        t.problems << QStringLiteral("%1: %2").arg(name(index), PrintableLine(result.outcomeWords()));
    }
    const int unsent = static_cast<int>(m_request.commands.size()) - t.next - 1;
    if (status != ExitStatus::Answered && unsent > 0)
        t.problems << (unsent == 1 ? QStringLiteral("the command after it was not sent to %1").arg(name(index))
                                   : QStringLiteral("the %1 commands after it were not sent to %2").arg(QString::number(unsent), name(index)));
    t.status = status == ExitStatus::Answered && t.incomplete ? ExitStatus::Incomplete : status;
    t.done = true;
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
        worst = ExitStatus::Worse(worst, t.status);
    emit finished(worst);
}

namespace {
// The saved servers; false when the file was there but could not be read (told).
bool loadServers(QList<SavedServer>* servers)
{
    const LoadedServerList loaded = LoadServerList();
    if (!loaded.notice.isEmpty())
        Tell(PrintableLine(loaded.notice));
    *servers = loaded.servers;
    return loaded.notice.isEmpty();
}
}

int SendToSavedServers(const QString& group, bool all, const SavedServersRun::Request& request)
{
    SavedServersRun::Request r = request;
    loadServers(&r.servers);
    if (!all)
        r.servers = ServersOfGroup(r.servers, group);
    if (r.servers.isEmpty()) {
        Tell(all ? QStringLiteral("no server is saved") : QStringLiteral("no saved server is in the group \"%1\"").arg(PrintableLine(group)));
        return ExitStatus::Usage;
    }
    SavedServersRun run(r);
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
