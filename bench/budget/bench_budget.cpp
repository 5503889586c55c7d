// Measures, against a real OpenArena server on loopback, the time from the first of 15
// commands sent through the window's Send, one right after another, to the 15th answer on
// screen, beside the least the server itself allows (10 at once, then one a second: the
// 15th can go 5 s after the first). The server's allowance is left to fill up again between
// rounds. An optional argument gives the number of rounds (3).
// Prints numbers only. Run with QT_QPA_PLATFORM=offscreen where there is no display.
#include "../BenchStats.h"
#include "../BenchWorld.h"
#include "OpenArenaServer.h"

#include "widgets/OutputPane.h"
#include "ui/frmMain.h"
#include "MainWindowControls.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr int Commands = 15;
constexpr int RefillMs = 11000;  // the server's allowance and the program's budget both full again

// Sends `command` as the user would, and waits (running the event loop) until `answer` is on
// screen; the time from the first send, in ms, or -1 after a minute.
double sendAll(frmMain& w, const QStringList& commands, const QString& answer)
{
    QElapsedTimer t;
    t.start();
    for (const QString& c : commands) {
        ui(w).txtCommand->setText(c);
        ui(w).cmdConnect->click();
    }
    while (!ui(w).txtOutput->text().contains(answer)) {
        if (t.elapsed() > 60000)
            return -1;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return t.nsecsElapsed() / 1e6;
}
}

int main(int argc, char** argv)
{
    BenchFolders folders;
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    folders.settle();

    OpenArenaServer server(QStringLiteral("bench-pw"));
    if (!server.start()) {
        std::printf("%s\n", qPrintable(server.errorText()));
        return 1;
    }
    frmMain w;
    w.show();
    PointAtLoopback(w, server.port(), server.password());
    std::printf("OpenArena server on 127.0.0.1:%u, %d rounds of %d commands\n\n", server.port(), rounds, Commands);

    // The first command to a server asks its engine first; the rounds see the rule known.
    sendAll(w, {QStringLiteral("echo warm")}, QStringLiteral("\r\nwarm\r\n"));
    std::vector<double> ms;
    for (int r = 0; r < rounds; ++r) {
        QTest::qWait(RefillMs);
        QStringList commands;
        for (int i = 1; i <= Commands; ++i)
            commands << QStringLiteral("echo r%1n%2").arg(r).arg(i);
        const double took = sendAll(w, commands, QStringLiteral("\r\nr%1n%2\r\n").arg(r).arg(Commands));
        if (took < 0) {
            std::printf("round %d: the 15th answer never came\n", r);
            return 1;
        }
        ms.push_back(took);
        ui(w).txtOutput->setText(QString());
    }
    QTest::qWait(1000);
    const int run = server.output().count(QStringLiteral("Rcon from 127.0.0.1: echo r"));
    print("window: 15 commands, first Send to the 15th answer", stats(ms), "ms");
    std::printf("%-58s %9.3f ms\n", "the server's own least: 10 at once, then one a second", 5000.0);
    std::printf("%-58s %9.3f ms\n", "the program's budget: 8 at once, then one every 1.1 s", 7 * 1100.0);
    std::printf("commands the server ran: %d of %d\n", run, rounds * Commands);
    return 0;
}
