#pragma once
#include <QString>
#include <QStringList>

// What the program's arguments ask for.
struct CommandLine {
    enum Action {
        Window,      // the window, with the server filled in when one is named
        Help,        // print the usage
        Version,     // print the name and version
        Send,        // send the commands to the server, no window
        SendSaved,   // send the commands to saved servers (--group, --all), no window
        ListSaved,   // print the saved servers (--list)
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
    SideWindow sideWindow = NoSideWindow;  // opened beside the main window
    QString error;
};

// Reads the arguments, the program's own name first (as QCoreApplication::arguments()
// gives them). Needs no application object.
CommandLine ReadCommandLine(const QStringList& arguments);

// What --help prints. Needs the application object, for the program's name.
QString UsageText();

// "telmorax 1.3.0", what --version prints (without the line end).
QString VersionText();
