// Measures, against a loopback server in this process (its own thread):
//  - the time from Send to the last datagram of a 10-datagram reply with colour codes on
//    screen in the pane, beside a bare socket and a bare Qt client (a QUdpSocket and a
//    QPlainTextEdit with the pane's font and colours) doing the same round trip;
//  - the cost of one 1000-character coloured append to a pane that holds 31000 characters,
//    beside the same append to the bare Qt client's text box.
// An optional argument gives the number of rounds (200).
// Prints numbers only. Run with QT_QPA_PLATFORM=offscreen where there is no display.
#include "../BenchStats.h"
#include "../BenchWorld.h"

#include "console/ColourCodes.h"
#include "widgets/OutputPane.h"
#include "console/RequestBudget.h"
#include "widgets/Fonts.h"
#include "ui/frmMain.h"
#include "MainWindowControls.h"
#include "widgets/VbCheckBox.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr int Parts = 10;
int Rounds = 200;  // or the first argument

// A line of 98 characters with three colour codes, as in a row of "status" or a "say".
QByteArray colouredLine(int n)
{
    const char letter = char('a' + n % 26);
    return "^" + QByteArray::number(1 + n % 6) + QByteArray(30, letter) + "^7" + QByteArray(30, letter) + "^3"
        + QByteArray(32, letter);
}

// Answers every request with ten datagrams of about 1000 bytes; the last line of the last
// one carries the round's number.
void serve(int fd, std::atomic<bool>& stop)
{
    char request[1024];
    int round = 0;
    while (!stop) {
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const ssize_t n = ::recvfrom(fd, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n <= 0)
            continue;
        for (int p = 0; p < Parts; ++p) {
            QByteArray d("\xff\xff\xff\xff" "print\n", 10);
            for (int line = 0; line < 10; ++line)
                d += colouredLine(p + line) + '\n';
            if (p == Parts - 1)
                d += "LAST " + QByteArray::number(round) + '\n';
            ::sendto(fd, d.constData(), d.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
        }
        ++round;
    }
}

double threadCpuUs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e6 + ts.tv_nsec / 1e3;
}

}

int main(int argc, char** argv)
{
    BenchFolders folders;  // settings and log in temporary folders
    QApplication app(argc, argv);
    if (argc > 1)
        Rounds = std::max(1, atoi(argv[1]));
    folders.settle();

    sockaddr_in addr;
    const int fd = LoopbackServerSocket(addr);
    std::atomic<bool> stop{false};
    std::thread server(serve, fd, std::ref(stop));
    const quint16 port = ntohs(addr.sin_port);
    std::printf("loopback server on 127.0.0.1:%u, %d rounds of a %d-datagram reply (about 1000 bytes each)\n\n", port, Rounds, Parts);

    // The bare round trip: a blocking socket, one request, ten datagrams read.
    int serverRound = 0;
    {
        const int c = ::socket(AF_INET, SOCK_DGRAM, 0);
        ::connect(c, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        std::vector<double> us;
        char buf[65536];
        for (int r = 0; r < Rounds; ++r) {
            QElapsedTimer t;
            t.start();
            ::send(c, "\xff\xff\xff\xffrcon pw say long", 21, 0);
            for (int p = 0; p < Parts; ++p)
                ::recv(c, buf, sizeof buf, 0);
            us.push_back(t.nsecsElapsed() / 1000.0);
            ++serverRound;
        }
        ::close(c);
        print("bare socket: send to last datagram read", stats(us), "us");
    }

    // A bare Qt client with a text box of the pane's size, font and colours, beside the
    // window. Their rounds alternate, so that both see the same load of the machine.
    frmMain w;
    w.show();
    // Found once: looking the controls up by name inside the timed loops would time the lookup.
    const MainWindowControls c = ui(w);
    PointAtLoopback(w, port, QStringLiteral("pw"));
    // The stand-in answers every request, in step with the rounds: no limit to wait for here,
    // and no engine question first, which it would take for a round of its own.
    RequestScheduler::instance().setRule(QHostAddress::LocalHost, BudgetRule());
    QPlainTextEdit bare;
    bare.setReadOnly(true);
    bare.setFont(Fonts::courierNew(8.25));
    QPalette palette = bare.palette();
    palette.setColor(QPalette::Base, ColourCodes::PaneBackground());
    palette.setColor(QPalette::Text, ColourCodes::PaneText());
    bare.setPalette(palette);
    bare.resize(c.txtOutput->size());
    bare.move(w.frameGeometry().right() + 20, w.y());
    bare.show();
    QByteArray expected;  // the end of the round's last datagram
    bool done = false;
    QUdpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    QObject::connect(&socket, &QUdpSocket::readyRead, [&] {
        while (socket.hasPendingDatagrams()) {
            const QByteArray d = socket.receiveDatagram().data();
            done = done || d.endsWith(expected);
            if (bare.document()->characterCount() > 32000)
                bare.clear();
            bare.moveCursor(QTextCursor::End);
            bare.insertPlainText(QString::fromLatin1(d.mid(d.indexOf('\n') + 1)));
        }
    });
    struct Times {
        std::vector<double> wall, cpu, click;
    } bareTimes, windowTimes[3];
    // The window three ways: Save Log off, Save Log on, and Save Log off with Show Colours off.
    const char* windowWays[3] = {"window, Save Log off: Send to last datagram on screen",
        "window, Save Log on: Send to last datagram on screen", "window, Show Colours off: Send to last datagram on screen"};
    for (int r = 0; r < Rounds; ++r) {
        {
            expected = "LAST " + QByteArray::number(serverRound++) + '\n';
            done = false;
            const double cpu = threadCpuUs();
            QElapsedTimer t;
            t.start();
            socket.write("\xff\xff\xff\xffrcon pw say long", 21);
            while (!done)
                QCoreApplication::processEvents(QEventLoop::AllEvents);
            QCoreApplication::processEvents();  // the repaint
            bareTimes.wall.push_back(t.nsecsElapsed() / 1000.0);
            bareTimes.cpu.push_back(threadCpuUs() - cpu);
        }
        for (int way = 0; way < 3; ++way) {
            c.ckLog->setValue(way == 1 ? 1 : 0);
            c.mnuViewShowColours->setChecked(way != 2);
            const QString mark = QStringLiteral("LAST %1\r\n").arg(serverRound++);
            const double cpu = threadCpuUs();
            QElapsedTimer t;
            t.start();
            // A command with an effect: its answer shows datagram by datagram (a read of a known
            // form would show once over).
            c.txtCommand->setText(QStringLiteral("say long"));
            c.cmdConnect->click();
            windowTimes[way].click.push_back(t.nsecsElapsed() / 1000.0);
            while (!c.txtOutput->text().endsWith(mark))
                QCoreApplication::processEvents(QEventLoop::AllEvents);
            QCoreApplication::processEvents();  // the repaint
            windowTimes[way].wall.push_back(t.nsecsElapsed() / 1000.0);
            windowTimes[way].cpu.push_back(threadCpuUs() - cpu);
        }
    }
    print("bare Qt client: send to last datagram on screen", stats(bareTimes.wall), "us");
    print("  its CPU time (this thread)", stats(bareTimes.cpu), "us");
    for (int way = 0; way < 3; ++way) {
        const Times& times = windowTimes[way];
        print(windowWays[way], stats(times.wall), "us");
        print("  its CPU time (this thread)", stats(times.cpu), "us");
        print("  of which the Send handler (wall)", stats(times.click), "us");
        std::printf("  median ratio to the bare Qt client: %.2f (CPU time: %.2f)\n", stats(times.wall).median / stats(bareTimes.wall).median,
            stats(times.cpu).median / stats(bareTimes.cpu).median);
    }
    stop = true;
    server.join();
    ::close(fd);

    // One append of 1000 characters (ten lines) to a full pane, and the same in the bare Qt
    // client's text box (the codes there as text), alternately.
    auto appendCost = [&](int held, const char* what) {
        QString base;
        for (int n = 0; base.size() < held; ++n)
            base += QString::fromLatin1(colouredLine(n)) + QStringLiteral("\r\n");
        base.truncate(held);
        QString chunk;
        for (int i = 0; i < 10; ++i)
            chunk += QString::fromLatin1(colouredLine(i + 7)) + QStringLiteral("\r\n");
        const QString bareBase = QString(base).replace(QLatin1String("\r\n"), QLatin1String("\n"));
        const QString bareChunk = QString(chunk).replace(QLatin1String("\r\n"), QLatin1String("\n"));
        std::vector<double> us, setOnly, caretOnly, bareUs;
        for (int r = 0; r < Rounds; ++r) {
            // The pane as replies leave it: laid out, scrolled to its end.
            c.txtOutput->setText(QString());
            c.txtOutput->setText(base);
            c.txtOutput->setSelStart(base.size());
            QCoreApplication::processEvents();
            QElapsedTimer t;
            t.start();
            c.txtOutput->setText(c.txtOutput->text() + chunk);
            setOnly.push_back(t.nsecsElapsed() / 1000.0);
            c.txtOutput->setSelStart(c.txtOutput->text().size());
            caretOnly.push_back(t.nsecsElapsed() / 1000.0);
            QCoreApplication::processEvents();  // includes the repaint of the pane
            us.push_back(t.nsecsElapsed() / 1000.0);

            bare.setPlainText(bareBase);
            bare.moveCursor(QTextCursor::End);
            QCoreApplication::processEvents();
            t.start();
            bare.moveCursor(QTextCursor::End);
            bare.insertPlainText(bareChunk);
            QCoreApplication::processEvents();
            bareUs.push_back(t.nsecsElapsed() / 1000.0);
        }
        print(what, stats(us), "us");
        print("  of which the text change alone", stats(setOnly), "us");
        print("  of which text change and caret", stats(caretOnly), "us");
        print("  the bare Qt client's text box, the same append, repaint", stats(bareUs), "us");
    };
    std::printf("\n");
    appendCost(30999, "coloured append 1000 chars to 30999 (kept whole), caret, repaint");
    appendCost(31000, "coloured append 1000 chars to 31000 (reaches the cap), caret, repaint");
    appendCost(1000, "coloured append 1000 chars to 1000, caret, repaint");
    ProgramInfo::setProgramFolderForTesting(QString());
    return 0;
}
