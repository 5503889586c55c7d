#include "cli/MemoryRun.h"

#include "bans/BanKeeper.h"
#include "cli/ExitStatus.h"
#include "cli/Password.h"
#include "cli/TerminalText.h"
#include "console/ColourCodes.h"
#include "console/ServerExchange.h"
#include "memory/DatabaseChoice.h"
#include "memory/MemoryDatabase.h"
#include "memory/Queries.h"
#include "memory/Recorder.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
QString row(const QStringList& fields)
{
    QStringList printable;
    for (const QString& f : fields)
        printable << PrintableLine(f);
    return printable.join(QLatin1Char('\t')) + QLatin1Char('\n');
}

// The memory to print from: a team database that cannot be reached now has no answer to give
// (what this desktop has not sent yet waits in the outbox).
bool memoryReady()
{
    const Memory::Opening o = Memory::Open(Memory::KeepDays());
    if (!o.notice.isEmpty())
        Tell(PrintableLine(o.notice));
    if (o.usable && Memory::IsTeam() && !Memory::Reachable()) {
        Tell(QStringLiteral("The team database does not answer, so there is nothing to print."));
        return false;
    }
    return o.usable;
}

void printJson(const QJsonArray& array)
{
    Print(stdout, QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)));
}
}

bool OpenChosenMemory()
{
    QString problem;
    const std::optional<Memory::DatabaseTarget> target = Memory::ChosenDatabase(&problem);
    if (!target) {
        Tell(PrintableLine(problem));
        return false;
    }
    // The local file opens as it always has, when it is first used; the notice of either is
    // told then.
    if (target->team)
        Memory::Open(*target, Memory::DatabasePasswordNow(*target), Memory::KeepDays());
    return true;
}

int PrintLookup(const CommandLine& c)
{
    if (!memoryReady())
        return ExitStatus::Usage;
    const QList<Memory::PlayerFound> found = Memory::Find(c.lookupText, 1000);
    if (c.json) {
        QJsonArray array;
        for (const Memory::PlayerFound& p : found) {
            QJsonObject o;
            o.insert(QStringLiteral("name"), p.name);
            o.insert(QStringLiteral("plain"), ColourCodes::Strip(p.name));
            o.insert(QStringLiteral("addresses"), QJsonArray::fromStringList(p.addresses));
            o.insert(QStringLiteral("servers"), QJsonArray::fromStringList(p.servers));
            o.insert(QStringLiteral("firstSeen"), QDateTime::fromMSecsSinceEpoch(p.firstSeen).toString(Qt::ISODate));
            o.insert(QStringLiteral("lastSeen"), QDateTime::fromMSecsSinceEpoch(p.lastSeen).toString(Qt::ISODate));
            o.insert(QStringLiteral("sessions"), p.sessions);
            o.insert(QStringLiteral("playedSeconds"), double(p.playedMs / 1000));
            array.append(o);
        }
        printJson(array);
        return ExitStatus::Answered;
    }
    QString out = row({QStringLiteral("name"), QStringLiteral("addresses"), QStringLiteral("servers"), QStringLiteral("first seen"),
        QStringLiteral("last seen"), QStringLiteral("sessions"), QStringLiteral("time played")});
    for (const Memory::PlayerFound& p : found) {
        out += row({p.name, p.addresses.join(QLatin1Char(',')), p.servers.join(QLatin1Char(',')), Memory::TimeText(p.firstSeen), Memory::TimeText(p.lastSeen),
            QString::number(p.sessions), Memory::PlayedText(p.playedMs)});
    }
    Print(stdout, out);
    return ExitStatus::Answered;
}

int PrintJournal(const CommandLine& c)
{
    if (!memoryReady())
        return ExitStatus::Usage;
    const QList<Memory::JournalEntry> entries = Memory::Journal(c.since);
    if (c.json) {
        QJsonArray array;
        for (const Memory::JournalEntry& e : entries) {
            QJsonObject o;
            o.insert(QStringLiteral("time"), QDateTime::fromMSecsSinceEpoch(e.time).toString(Qt::ISODateWithMs));
            o.insert(QStringLiteral("server"), e.server);
            o.insert(QStringLiteral("admin"), e.admin);
            o.insert(QStringLiteral("outcome"), e.outcome);
            o.insert(QStringLiteral("command"), e.command);
            o.insert(QStringLiteral("player"), e.targetName);
            o.insert(QStringLiteral("address"), e.targetAddress);
            o.insert(QStringLiteral("reason"), e.reason);
            o.insert(QStringLiteral("desktop"), e.desktop);
            array.append(o);
        }
        printJson(array);
        return ExitStatus::Answered;
    }
    QString out = row({QStringLiteral("time"), QStringLiteral("server"), QStringLiteral("admin"), QStringLiteral("outcome"),
        QStringLiteral("command"), QStringLiteral("player"), QStringLiteral("address"), QStringLiteral("reason")});
    for (const Memory::JournalEntry& e : entries)
        out += row({Memory::TimeText(e.time), e.server, e.admin, e.outcome, e.command, e.targetName, e.targetAddress, e.reason});
    Print(stdout, out);
    return ExitStatus::Answered;
}

RecordingRun::RecordingRun()
{
    Recorder::Start([](const QString& line) { Tell(PrintableLine(line)); });
}

RecordingRun::~RecordingRun()
{
    // Lines the writer queued for the event loop are told before the run ends.
    Recorder::Flush();
    QCoreApplication::processEvents();
    Recorder::Stop();
}

int LiftExpiredBans(const CommandLine& c)
{
    RecordingRun recording;
    if (!Recorder::IsRecording())
        return ExitStatus::Usage;
    // A password given to the run stands in for a server that has none saved; it is asked for
    // only when a ban needs it.
    bool asked = false;
    QString given;
    BanKeeper keeper;
    keeper.setPasswordSource([&](const QString&, int) {
        if (!asked && (!c.passwordFile.isEmpty() || !qEnvironmentVariableIsEmpty("TELMORAX_PASSWORD"))) {
            asked = true;
            const Password p = ReadPassword(c.passwordFile, QString());
            if (!p.error.isEmpty())
                Tell(p.error);
            given = p.text;
        }
        return given;
    });
    QObject::connect(&keeper, &BanKeeper::told, [](const QString& line) { Tell(PrintableLine(line)); });
    int status = ExitStatus::Answered;
    QObject::connect(&keeper, &BanKeeper::passDone, [&](const QList<int>& outcomes) {
        for (int o : outcomes) {
            int s = ExitStatus::Answered;
            if (o == BanKeeper::NoPassword)
                s = ExitStatus::Usage;
            else if (o == ExchangeOutcome::BadPassword)
                s = ExitStatus::BadPassword;
            else if (o == ExchangeOutcome::Refused || o == ExchangeOutcome::NotResolved)
                s = ExitStatus::Refused;
            else if (o != ExchangeOutcome::Answered)
                s = ExitStatus::NoAnswer;
            status = qMax(status, s);
        }
        QCoreApplication::exit(status);
    });
    QMetaObject::invokeMethod(&keeper, &BanKeeper::liftDue, Qt::QueuedConnection);
    QCoreApplication::exec();
    return status;
}
