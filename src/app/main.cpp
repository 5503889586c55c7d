#include "app/IdleExit.h"
#include "ui/frmMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QIcon>

int main(int argc, char* argv[])
{
    QElapsedTimer sinceStart;
    sinceStart.start();
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
    window.show();
    ExitWhenIdleIfAsked(&window, sinceStart);
    return app.exec();
}
