#include "app/IdleExit.h"
#include "cli/CommandLine.h"
#include "cli/RunWithoutWindow.h"
#include "memory/DatabaseTarget.h"
#include "settings/ProgramInfo.h"
#include "ui/frmMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QIcon>

int main(int argc, char* argv[])
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    // Arguments other than a server to open need no window, and so no display.
    CommandLine commandLine;
    if (argc > 1) {
        QStringList arguments;
        for (int i = 0; i < argc; ++i)
            arguments.append(QString::fromLocal8Bit(argv[i]));
        commandLine = ReadCommandLine(arguments);
        if (commandLine.database)
            Memory::SetDatabaseOption(*commandLine.database);
        if (commandLine.action != CommandLine::Window)
            return RunWithoutWindow(argc, argv, commandLine);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("telmorax"));
    QApplication::setOrganizationName(QStringLiteral("Quillhaven"));
    // The desktop entry's name, so the window is matched with its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("telmorax"));

    // The window's icon (title bar, task switcher); the menu uses the installed theme icon.
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addFile(QStringLiteral(":/icons/telmorax-%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);

    frmMain window;
    if (!commandLine.host.isEmpty())  // the server named, in place of the one last used
        window.ShowServer(commandLine.host, commandLine.port);
    window.show();
    // As the Commands menu opens them, so the window is the one that menu brings back.
    if (commandLine.sideWindow == CommandLine::ServersWindow)
        window.mnuCommandsServers_Click();
    else if (commandLine.sideWindow == CommandLine::PlayersWindow)
        window.mnuCommandsPlayers_Click();
    ExitWhenIdleIfAsked(&window, sinceStart, ProgramInfo::programFolder());
    return app.exec();
}
