#include "cli/CommandLine.h"

#include "console/RconDatagram.h"
#include "console/ServerAddress.h"
#include "settings/ProgramInfo.h"
#include "settings/SettingsStore.h"

#include <QCommandLineParser>
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
    "4 no answer in time; 5 the network refused (port unreachable, host not found); 2 a usage\n"
    "error or no password. The run stops at the first command that fails, and that command's\n"
    "status is the program's; the commands after it are not sent. With several servers, each\n"
    "stops at its own first failure, and the exit status is the highest of theirs.");

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
        QStringLiteral("An answer is over when the server has been quiet this long (0.1 to 60; default 1)."),
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
    QCommandLineOption colours{{QStringLiteral("color"), QStringLiteral("colour")},
        QStringLiteral("Colour codes in answers: drawn in the terminal's colours (always), removed (never), or drawn "
                       "only when standard output is a terminal (auto, the default)."),
        QStringLiteral("WHEN")};
    QCommandLineOption window{QStringLiteral("window"),
        QStringLiteral("Open the Servers or the Players window beside the main window (NAME: servers or players)."),
        QStringLiteral("NAME")};

    explicit Options(QCommandLineParser& parser)
    {
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);  // -platform, as Qt reads it
        parser.setApplicationDescription(Description);
        parser.addOptions({help, version, window, send, group, all, list, wait, passwordFile, log, colours});
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

    if (!parser.isSet(o.send)) {
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
        return usageError(QStringLiteral("--send needs a server to send to: --send COMMAND HOST[:PORT], --group NAME or --all."));
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
