#include "cli/RunWithoutWindow.h"

#include "cli/ExitStatus.h"
#include "cli/MemoryRun.h"
#include "cli/Password.h"
#include "cli/RconRun.h"
#include "cli/SavedServersRun.h"
#include "cli/TerminalText.h"
#include "console/ExchangeObserver.h"
#include "console/ServerAddress.h"
#include "log/LogFile.h"
#include "memory/MemoryDatabase.h"
#include "console/ServerList.h"
#include "settings/ProgramInfo.h"

#include <QCoreApplication>
#include <QFile>

#include <unistd.h>

namespace {
// Colours for `auto`: standard output is a terminal that draws them, and the user has not
// asked for none (NO_COLOR).
bool terminalColours()
{
    return ::isatty(STDOUT_FILENO) && qEnvironmentVariableIsEmpty("NO_COLOR")
        && qEnvironmentVariable("TERM") != QLatin1String("dumb");
}

bool colours(const CommandLine& c)
{
    return c.colours == CommandLine::Always || (c.colours == CommandLine::Auto && terminalColours());
}

// --log: the records go to that file. A log that cannot be written is said before anything
// is sent: false.
bool openLog(const CommandLine& c)
{
    if (c.logFile.isEmpty())
        return true;
    QFile log(c.logFile);
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append, QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        Tell(QStringLiteral("cannot write the log %1: %2").arg(c.logFile, log.errorString()));
        return false;
    }
    SetLogFile(c.logFile);
    return true;
}

int send(const CommandLine& c)
{
    const Password password = ReadPassword(c.passwordFile, QStringLiteral("Rcon password for %1: ").arg(ServerAddressText(c.host, c.port)));
    if (!password.warning.isEmpty())
        Tell(QStringLiteral("warning: ") + password.warning);
    if (!password.error.isEmpty()) {
        Tell(password.error);
        return ExitStatus::Usage;
    }
    if (!openLog(c))
        return ExitStatus::Usage;
    RconRun::Request request;
    request.host = c.host;
    request.port = c.port;
    request.password = password.text;
    request.commands = c.commands;
    request.quietMs = c.quietMs;
    request.colours = colours(c);
    request.log = !c.logFile.isEmpty();
    RconRun run(request);
    QObject::connect(&run, &RconRun::finished, QCoreApplication::instance(), &QCoreApplication::exit, Qt::QueuedConnection);
    run.start();
    return QCoreApplication::exec();
}

int sendToSaved(const CommandLine& c)
{
    if (!openLog(c))
        return ExitStatus::Usage;
    SavedServersRun::Request request;
    request.commands = c.commands;
    request.quietMs = c.quietMs;
    request.colours = colours(c);
    request.log = !c.logFile.isEmpty();
    return SendToSavedServers(c.group, c.allServers, request);
}

// --ban: the journal keeps the ban's reason and expiry with the command sent to each server.
void noteBan(const CommandLine& c)
{
    if (c.banAddress.isEmpty())
        return;
    JournalNote note;
    note.address = c.banAddress;
    note.reason = c.reason;
    note.expiresAt = c.banFor > 0 ? Memory::Now() + c.banFor : 0;
    QList<SavedServer> servers;
    if (c.action == CommandLine::SendSaved) {
        const QList<SavedServer> saved = LoadServerList().servers;
        servers = c.allServers ? saved : ServersOfGroup(saved, c.group);
    } else {
        SavedServer one;
        one.host = c.host;
        one.port = c.port;
        servers.append(one);
    }
    for (const SavedServer& s : servers)
        ExpectNote(s.host, s.port, c.commands.constFirst(), note);
}
}

int RunWithoutWindow(int& argc, char* argv[], const CommandLine& commandLine)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(ProgramInfo::Title);
    switch (commandLine.action) {
    case CommandLine::Send:
    case CommandLine::SendSaved:
    case CommandLine::Lookup:
    case CommandLine::Journal:
    case CommandLine::LiftExpired:
        if (!OpenChosenMemory())
            return ExitStatus::Usage;
        break;
    default:
        break;
    }
    switch (commandLine.action) {
    case CommandLine::Help:
        Print(stdout, UsageText());
        return 0;
    case CommandLine::Version:
        Print(stdout, VersionText() + QLatin1Char('\n'));
        return 0;
    case CommandLine::Send: {
        RecordingRun recording;
        noteBan(commandLine);
        return send(commandLine);
    }
    case CommandLine::SendSaved: {
        RecordingRun recording;
        noteBan(commandLine);
        return sendToSaved(commandLine);
    }
    case CommandLine::Lookup:
        return PrintLookup(commandLine);
    case CommandLine::Journal:
        return PrintJournal(commandLine);
    case CommandLine::LiftExpired:
        return LiftExpiredBans(commandLine);
    case CommandLine::ListSaved:
        return ListSavedServers();
    case CommandLine::UsageError:
    case CommandLine::Window:
        break;
    }
    // What is wrong, and where the whole usage is: not fifty lines that push the problem away.
    Tell(commandLine.error);
    Print(stderr, QStringLiteral("Try '%1 --help'.\n").arg(ProgramInfo::Title));
    return ExitStatus::Usage;
}
