#include "cli/CommandLine.h"

#include "console/BanDuration.h"
#include "console/RconDatagram.h"
#include "console/ServerAddress.h"
#include "memory/DatabaseTarget.h"
#include "memory/MemoryDatabase.h"
#include "settings/ProgramInfo.h"
#include "settings/SettingsStore.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QLocale>

namespace {
const QString Description = QStringLiteral(
    "Quillhaven's Vantorin: a remote console (rcon) client for Quake 3 Arena dedicated servers.\n"
    "\n"
    "With no arguments it opens its window; with HOST[:PORT] it opens the window with that server\n"
    "filled in; --window servers or --window players opens that window beside it too. With --send\n"
    "it opens no window (no display needed): it sends the commands to the server in order and\n"
    "prints every datagram of each answer until the server has been quiet for\n"
    "--wait seconds (the first datagram is awaited for 3 seconds, or --wait when longer); the next\n"
    "command goes then, or as soon as the server's request limit allows (for ioquake3 servers a\n"
    "burst of 8, then one every 1.1 seconds). It reads and writes no settings and no history.\n"
    "\n"
    "With --group NAME or --all in place of a server, the commands go to the saved servers of the\n"
    "Servers window (that group's, or all of them), all at once, each with its password from the\n"
    "keyring; each server's answers are printed after a line \"== LABEL (HOST:PORT)\", in the\n"
    "list's order. A server without a saved password is skipped. --list prints the saved servers,\n"
    "one a line: HOST:PORT, group and label, separated by tabs (no passwords).\n"
    "\n"
    "The rcon password is never taken from the command line: it is the first line of the\n"
    "--password-file, else the environment variable TELMORAX_PASSWORD, else asked for on the\n"
    "terminal (without echo) when standard input is one.\n"
    "\n"
    "Exit status with --send: 0 every command was answered; 3 the server refused the password;\n"
    "4 no answer; a command with an effect may have run; 5 the network refused (port\n"
    "unreachable, host not found); 6 an answer came incomplete (a datagram lost on the way, or\n"
    "cut at 4 MB or 30 seconds), printed with a warning on standard error; 2 a usage error or\n"
    "no password. A read (status, serverinfo, cmdlist, cvarlist, listbans, fdir, dir, dumpuser,\n"
    "echo, a variable's name alone) with no answer or a broken one is asked again, up to 3\n"
    "times in all; any other command is sent once. The run stops at the first command that\n"
    "fails, and that command's status is the program's; the commands after it are not sent.\n"
    "With several servers, each stops at its own first failure, and the exit status is the\n"
    "highest of theirs, 6 counting below every failure.\n"
    "\n"
    "The program remembers, in memory.sqlite in its data folder, the players its status reads\n"
    "show (names, addresses, sessions), the commands sent on your behalf (the journal) and the\n"
    "bans it placed. --lookup and --journal print from it (exit status 0, or 2 when it cannot\n"
    "be read). --ban sends banaddr as --send does, with its reason and duration kept, and has\n"
    "the exit statuses of --send. --lift-expired lifts the bans whose time has come, after\n"
    "reading each server's ban list, with each server's saved password (else the one of\n"
    "--password-file or TELMORAX_PASSWORD); its exit status is the worst of theirs, 2 when a\n"
    "server's password is missing.\n"
    "\n"
    "The memory can live on a PostgreSQL server that a team of admins shares instead:\n"
    "--database postgresql://USER@HOST:PORT/DATABASE for one run, else the environment variable\n"
    "TELMORAX_DATABASE (unless empty), else the window's Team Database setting; \"local\" (or an\n"
    "empty --database) is the file. The database's password is never in the URL: it comes from\n"
    "the keyring entry the Team Database dialog saved, else libpq finds it (~/.pgpass,\n"
    "PGPASSWORD, a service file). A host that is not loopback gets TLS unless the URL ends in\n"
    "?sslmode=disable; PGSSLMODE=verify-full asks libpq to check the server's certificate.");

// The options of the window that Qt itself reads (-platform, -style, ...): accepted, and left
// for the window to take, but not listed.
const char* const QtValueOptions[] = {"platform", "platformpluginpath", "platformtheme", "plugin", "style",
    "stylesheet", "qwindowgeometry", "qwindowtitle", "qwindowicon", "display", "geometry", "session"};
const char* const QtFlagOptions[] = {"reverse", "nograb", "dograb", "sync", "widgetcount"};

struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Print this help and exit.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("Print the version and exit.")};
    QCommandLineOption send{QStringLiteral("send"),
        QStringLiteral("Send COMMAND to the server named, without a window. Repeat it to send several, in order."),
        QStringLiteral("COMMAND")};
    QCommandLineOption wait{QStringLiteral("wait"),
        QStringLiteral("An answer is over when the server has been quiet this long (0.1 to 60; default 1), or twice the "
                       "time its first datagram took when that is longer."),
        QStringLiteral("SECONDS")};
    QCommandLineOption passwordFile{QStringLiteral("password-file"),
        QStringLiteral("Read the rcon password from the first line of FILE."), QStringLiteral("FILE")};
    QCommandLineOption password{QStringLiteral("password"), QString(), QStringLiteral("PASSWORD")};  // refused, with why
    QCommandLineOption log{QStringLiteral("log"),
        QStringLiteral("Append the commands and answers to FILE, in the window's log format."), QStringLiteral("FILE")};
    QCommandLineOption group{QStringLiteral("group"),
        QStringLiteral("With --send: send to the saved servers of group NAME instead of one server."), QStringLiteral("NAME")};
    QCommandLineOption all{QStringLiteral("all"), QStringLiteral("With --send: send to every saved server.")};
    QCommandLineOption list{QStringLiteral("list"), QStringLiteral("Print the saved servers and exit.")};
    QCommandLineOption lookup{QStringLiteral("lookup"),
        QStringLiteral("Print the players the memory knows whose name holds TEXT (colour codes and letter case ignored), or who "
                       "were seen at an address or prefix (203.0.113.7, 203.0.113., 203.0.113.0/24, an IPv6 /64)."),
        QStringLiteral("TEXT")};
    QCommandLineOption json{QStringLiteral("json"), QStringLiteral("With --lookup or --journal: print JSON instead of lines of tab-separated fields.")};
    QCommandLineOption journal{QStringLiteral("journal"), QStringLiteral("Print the journal of the commands sent on your behalf.")};
    QCommandLineOption since{QStringLiteral("since"),
        QStringLiteral("With --journal: only entries since WHEN, a date and time (2026-12-07, 2026-12-07T21:00) or a time ago (90m, 3d)."),
        QStringLiteral("WHEN")};
    QCommandLineOption ban{QStringLiteral("ban"),
        QStringLiteral("Ban ADDRESS[/PREFIX] (banaddr) on the server named, or on the saved servers of a group or all of them (as "
                       "with --send), and keep it in the journal."),
        QStringLiteral("ADDRESS")};
    QCommandLineOption banFor{QStringLiteral("for"),
        QStringLiteral("With --ban: how long the ban stands (permanent, 90m, 1h, 3d, 1w, 30d; default permanent); the program "
                       "lifts it when that has passed."),
        QStringLiteral("DURATION")};
    QCommandLineOption reason{QStringLiteral("reason"), QStringLiteral("With --ban: why, for the journal."), QStringLiteral("TEXT")};
    QCommandLineOption liftExpired{QStringLiteral("lift-expired"),
        QStringLiteral("Lift every ban whose time has come, each on its server (for cron).")};
    QCommandLineOption colours{{QStringLiteral("color"), QStringLiteral("colour")},
        QStringLiteral("Colour codes in answers: drawn in the terminal's colours (always), removed (never), or drawn "
                       "only when standard output is a terminal (auto, the default)."),
        QStringLiteral("WHEN")};
    QCommandLineOption database{QStringLiteral("database"),
        QStringLiteral("Keep the memory in the team database at URL (postgresql://USER@HOST:PORT/DATABASE) for this run, or in the "
                       "local file (local)."),
        QStringLiteral("URL")};
    QCommandLineOption window{QStringLiteral("window"),
        QStringLiteral("Open the Servers or the Players window beside the main window (NAME: servers or players)."),
        QStringLiteral("NAME")};

    explicit Options(QCommandLineParser& parser)
    {
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);  // -platform, as Qt reads it
        parser.setApplicationDescription(Description);
        parser.addOptions({help, version, window, send, group, all, list, wait, passwordFile, log, colours, lookup, json, journal, since,
            ban, banFor, reason, liftExpired, database});
        password.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(password);
        for (const char* name : QtValueOptions) {
            QCommandLineOption qt(QString::fromLatin1(name), QString(), QStringLiteral("value"));
            qt.setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(qt);
        }
        for (const char* name : QtFlagOptions) {
            QCommandLineOption qt(QString::fromLatin1(name));
            qt.setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(qt);
        }
        parser.addPositionalArgument(QStringLiteral("HOST[:PORT]"),
            QStringLiteral("The server: a name, an IPv4 address, or an IPv6 address ([IPv6]:PORT with a port). "
                           "The port is 27960 when none is given."),
            QStringLiteral("[HOST[:PORT]]"));
    }
};

CommandLine usageError(const QString& error)
{
    CommandLine c;
    c.action = CommandLine::UsageError;
    c.error = error;
    return c;
}
}

CommandLine ReadCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    const Options o(parser);
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    CommandLine c;
    if (parser.isSet(o.help)) {
        c.action = CommandLine::Help;
        return c;
    }
    if (parser.isSet(o.version)) {
        c.action = CommandLine::Version;
        return c;
    }

    if (parser.isSet(o.password))
        return usageError(QStringLiteral("The password is never taken from the command line, where every user of the machine "
                                         "can read it: use --password-file FILE or TELMORAX_PASSWORD."));

    if (parser.isSet(o.database)) {
        QString problem;
        if (!Memory::ReadDatabaseUrl(parser.value(o.database), &problem))
            return usageError(QStringLiteral("--database: ") + problem);
        c.database = parser.value(o.database);
    }

    const QStringList servers = parser.positionalArguments();
    if (servers.size() > 1)
        return usageError(QStringLiteral("Only one server may be named, not %1.").arg(servers.size()));
    if (!servers.isEmpty()) {
        const QString text = servers.first().trimmed();
        const ServerAddress a = SplitServerAddress(text);
        if (a.host.isEmpty())
            return usageError(QStringLiteral("No server address in '%1'.").arg(text));
        if (a.badPort)
            return usageError(QStringLiteral("The port in '%1' must be a number from 1 to 65535.").arg(text));
        c.host = a.host;
        c.port = (a.port.isEmpty() ? Default::ServerPort : a.port).toInt();
    }

    // The memory's options: each of --lookup, --journal, --lift-expired and --ban goes with its
    // own companions only.
    const QList<const QCommandLineOption*> everyOther = {&o.window, &o.send, &o.group, &o.all, &o.wait, &o.passwordFile, &o.log, &o.colours,
        &o.list, &o.lookup, &o.json, &o.journal, &o.since, &o.ban, &o.banFor, &o.reason, &o.liftExpired};
    auto alone = [&](const QCommandLineOption& option, const QList<const QCommandLineOption*>& companions) -> QString {
        for (const QCommandLineOption* other : everyOther) {
            if (other != &option && !companions.contains(other) && parser.isSet(*other))
                return QStringLiteral("--%1 does not go with --%2.").arg(option.names().constFirst(), other->names().constFirst());
        }
        return QString();
    };
    for (const QCommandLineOption* only : {&o.json, &o.since, &o.banFor, &o.reason}) {
        const QList<const QCommandLineOption*> owners = only == &o.json ? QList<const QCommandLineOption*>{&o.lookup, &o.journal}
            : only == &o.since                                          ? QList<const QCommandLineOption*>{&o.journal}
                                                                        : QList<const QCommandLineOption*>{&o.ban};
        bool owned = false;
        for (const QCommandLineOption* owner : owners)
            owned = owned || parser.isSet(*owner);
        if (parser.isSet(*only) && !owned)
            return usageError(QStringLiteral("--%1 goes with --%2 only.").arg(only->names().constFirst(), owners.first()->names().constFirst()));
    }
    if (parser.isSet(o.lookup)) {
        if (const QString e = alone(o.lookup, {&o.json}); !e.isEmpty() || !c.host.isEmpty())
            return usageError(e.isEmpty() ? QStringLiteral("--lookup goes without a server.") : e);
        c.action = CommandLine::Lookup;
        c.lookupText = parser.value(o.lookup).trimmed();
        c.json = parser.isSet(o.json);
        if (c.lookupText.isEmpty())
            return usageError(QStringLiteral("--lookup needs a name, an address or a prefix."));
        return c;
    }
    if (parser.isSet(o.journal)) {
        if (const QString e = alone(o.journal, {&o.json, &o.since}); !e.isEmpty() || !c.host.isEmpty())
            return usageError(e.isEmpty() ? QStringLiteral("--journal goes without a server.") : e);
        c.action = CommandLine::Journal;
        c.json = parser.isSet(o.json);
        if (parser.isSet(o.since)) {
            const QString when = parser.value(o.since).trimmed();
            const qint64 ago = ReadBanDuration(when);
            const QDateTime at = QDateTime::fromString(when, Qt::ISODate);
            if (ago > 0)
                c.since = QDateTime::currentMSecsSinceEpoch() - ago;
            else if (at.isValid())
                c.since = at.toMSecsSinceEpoch();
            else
                return usageError(QStringLiteral("--since takes a date and time (2026-12-07T21:00) or a time ago (90m, 3d), not '%1'.").arg(when));
        }
        return c;
    }
    if (parser.isSet(o.liftExpired)) {
        if (const QString e = alone(o.liftExpired, {&o.passwordFile}); !e.isEmpty() || !c.host.isEmpty())
            return usageError(e.isEmpty() ? QStringLiteral("--lift-expired lifts the bans on every server, without a server named.") : e);
        c.action = CommandLine::LiftExpired;
        c.passwordFile = parser.value(o.passwordFile);
        return c;
    }
    if (parser.isSet(o.ban)) {
        if (const QString e = alone(o.ban, {&o.banFor, &o.reason, &o.group, &o.all, &o.wait, &o.passwordFile, &o.log}); !e.isEmpty())
            return usageError(e);
        c.banAddress = Memory::BanTarget(parser.value(o.ban));
        if (c.banAddress.isEmpty())
            return usageError(QStringLiteral("--ban takes an IP address, with /PREFIX for a range, not '%1'.").arg(parser.value(o.ban)));
        c.banFor = ReadBanDuration(parser.value(o.banFor));
        if (c.banFor < 0)
            return usageError(QStringLiteral("--for takes permanent or a number and a unit (90m, 1h, 3d, 1w), not '%1'.").arg(parser.value(o.banFor)));
        c.reason = parser.value(o.reason).trimmed();
        c.commands = {QStringLiteral("banaddr ") + parser.value(o.ban).trimmed()};
    }

    if (parser.isSet(o.list)) {
        for (const QCommandLineOption* other : {&o.window, &o.send, &o.group, &o.all, &o.wait, &o.passwordFile, &o.log, &o.colours}) {
            if (parser.isSet(*other))
                return usageError(QStringLiteral("--list goes alone, not with --%1.").arg(other->names().constFirst()));
        }
        if (!c.host.isEmpty())
            return usageError(QStringLiteral("--list goes alone, without a server."));
        c.action = CommandLine::ListSaved;
        return c;
    }

    if (!parser.isSet(o.send) && !parser.isSet(o.ban)) {
        for (const QCommandLineOption* only : {&o.group, &o.all, &o.wait, &o.passwordFile, &o.log, &o.colours}) {
            if (parser.isSet(*only))
                return usageError(QStringLiteral("--%1 goes with --send only.").arg(only->names().constFirst()));
        }
        const QString window = parser.value(o.window);
        if (window == QLatin1String("servers"))
            c.sideWindow = CommandLine::ServersWindow;
        else if (window == QLatin1String("players"))
            c.sideWindow = CommandLine::PlayersWindow;
        else if (parser.isSet(o.window))
            return usageError(QStringLiteral("--window takes servers or players, not '%1'.").arg(window));
        return c;  // the window
    }
    if (parser.isSet(o.window))
        return usageError(QStringLiteral("--window opens a window, which --send does not."));

    c.action = CommandLine::Send;
    if (parser.isSet(o.ban) && parser.isSet(o.send))
        return usageError(QStringLiteral("--ban does not go with --send."));
    for (const QString& command : parser.values(o.send)) {
        if (TrimSpaces(command).isEmpty())
            return usageError(QStringLiteral("--send needs a command."));
        c.commands.append(TrimSpaces(command));
    }
    if (parser.isSet(o.group) || parser.isSet(o.all)) {
        // The saved servers, each with its password from the keyring.
        c.action = CommandLine::SendSaved;
        c.allServers = parser.isSet(o.all);
        c.group = parser.value(o.group).trimmed();
        if (parser.isSet(o.group) && c.allServers)
            return usageError(QStringLiteral("--group and --all do not go together."));
        if (parser.isSet(o.group) && c.group.isEmpty())
            return usageError(QStringLiteral("--group needs a group name."));
        if (!c.host.isEmpty())
            return usageError(QStringLiteral("--group and --all send to the saved servers, not to '%1'.").arg(servers.first()));
        if (parser.isSet(o.passwordFile))
            return usageError(QStringLiteral("--password-file goes with one server: with --group or --all, each server's "
                                             "password comes from the keyring."));
    } else if (c.host.isEmpty()) {
        return usageError(parser.isSet(o.ban) ? QStringLiteral("--ban needs a server: --ban ADDRESS HOST[:PORT], --group NAME or --all.")
                                              : QStringLiteral("--send needs a server to send to: --send COMMAND HOST[:PORT], --group NAME or --all."));
    }
    if (parser.isSet(o.wait)) {
        bool ok = false;
        const double seconds = QLocale::c().toDouble(parser.value(o.wait), &ok);
        if (!ok || !(seconds >= 0.1 && seconds <= 60))
            return usageError(QStringLiteral("--wait takes a number of seconds from 0.1 to 60, not '%1'.").arg(parser.value(o.wait)));
        c.quietMs = qRound(seconds * 1000);
    }
    c.passwordFile = parser.value(o.passwordFile);
    c.logFile = parser.value(o.log);
    if (parser.isSet(o.passwordFile) && c.passwordFile.isEmpty())
        return usageError(QStringLiteral("--password-file needs a file name."));
    if (parser.isSet(o.log) && c.logFile.isEmpty())
        return usageError(QStringLiteral("--log needs a file name."));
    const QString colours = parser.value(o.colours);
    if (colours == QLatin1String("always"))
        c.colours = CommandLine::Always;
    else if (colours == QLatin1String("never"))
        c.colours = CommandLine::Never;
    else if (!colours.isEmpty() && colours != QLatin1String("auto"))
        return usageError(QStringLiteral("--color takes auto, always or never, not '%1'.").arg(colours));
    return c;
}

QString UsageText()
{
    QCommandLineParser parser;
    const Options o(parser);
    return parser.helpText();
}

QString VersionText()
{
    return QStringLiteral("%1 %2.%3.%4")
        .arg(ProgramInfo::Title, QString::number(ProgramInfo::VersionMajor), QString::number(ProgramInfo::VersionMinor),
            QString::number(ProgramInfo::VersionRevision));
}
