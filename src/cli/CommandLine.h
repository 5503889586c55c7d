#pragma once
#include <QString>
#include <QStringList>

#include <optional>

// What the program's arguments ask for.
struct CommandLine {
    enum Action {
        Window,      // the window, with the server filled in when one is named
        Help,        // print the usage
        Version,     // print the name and version
        Send,        // send the commands to the server, no window
        SendSaved,   // send the commands to saved servers (--group, --all), no window
        ListSaved,   // print the saved servers (--list)
        Lookup,      // print what the memory knows of a name or address (--lookup)
        Journal,     // print the journal (--journal)
        LiftExpired, // lift the bans whose time has come (--lift-expired)
        UsageError,  // the arguments make no sense: `error` says why
    };
    enum Colours { Auto, Always, Never };
    enum SideWindow { NoSideWindow, ServersWindow, PlayersWindow };  // --window

    Action action = Window;
    QString host;          // the server named, empty when none
    int port = 0;          // its port: the one given, else the usual Quake 3 port
    QStringList commands;  // --send, in the order given
    QString group;         // --group: the saved servers of this group
    bool allServers = false;  // --all: every saved server
    int quietMs = 1000;    // --wait: an answer is over after this long without a datagram
    QString passwordFile;  // --password-file
    QString logFile;       // --log
    Colours colours = Auto;
    QString lookupText;    // --lookup
    bool json = false;     // --json: --lookup and --journal print JSON
    qint64 since = 0;      // --journal --since: ms since the epoch; 0 for all
    // --ban (sent as "banaddr ADDRESS" through Send or SendSaved): the address, how long the
    // ban stands (ms, 0 permanent), and why.
    QString banAddress;
    qint64 banFor = 0;
    QString reason;
    SideWindow sideWindow = NoSideWindow;  // opened beside the main window
    // --database: where the memory lives for this run ("local", "" or a URL that reads), in
    // place of TELMORAX_DATABASE and the setting; nothing when not given.
    std::optional<QString> database;
    QString error;
};

// Reads the arguments, the program's own name first (as QCoreApplication::arguments()
// gives them). Needs no application object.
CommandLine ReadCommandLine(const QStringList& arguments);

// What --help prints. Needs the application object, for the program's name.
QString UsageText();

// "telmorax 1.3.0", what --version prints (without the line end).
QString VersionText();
