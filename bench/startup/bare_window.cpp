// The yardstick for the startup benchmark: a bare Qt main window with one text box, of the
// program's size, started and timed the same way as the program.
#include "app/IdleExit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QPlainTextEdit>

int main(int argc, char* argv[])
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    QApplication app(argc, argv);
    QMainWindow window;
    window.setCentralWidget(new QPlainTextEdit);
    window.resize(576, 527);
    window.show();
    ExitWhenIdleIfAsked(&window, sinceStart);
    return app.exec();
}
