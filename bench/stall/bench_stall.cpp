// Measures how long the real window stops answering while a server floods its pane: a 20 ms
// timer runs in the window's event loop, and its longest gap is the worst stall. A loopback
// server (its own thread) answers one request with 100 coloured datagrams of about 1000
// characters at 10 a second, once without any line break and once with the same bytes
// broken into lines of 100 characters. An optional argument gives the rounds of each (5).
// Prints numbers only. Run with QT_QPA_PLATFORM=offscreen where there is no display.
#include "../BenchStats.h"
#include "../BenchWorld.h"

#include "ui/frmMain.h"
#include "MainWindowControls.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {
constexpr int Datagrams = 100;
constexpr int GapMs = 100;

// About 1000 characters with a colour code every 10, and, when `breaks`, a line break in
// place of every hundredth character.
QByteArray datagram(int n, bool breaks)
{
    QByteArray d("\xff\xff\xff\xff" "print\n", 10);
    for (int i = 0; i < 100; ++i) {
        d += "^" + QByteArray::number(1 + (n + i) % 6) + QByteArray(8, char('a' + (n + i) % 26));
        if (breaks && i % 10 == 9)
            d[d.size() - 1] = '\n';
    }
    return d;
}

// Answers each request with the flood; `breaks` is read when the request comes.
void serve(int fd, std::atomic<bool>& stop, std::atomic<bool>& breaks)
{
    char request[1024];
    while (!stop) {
        sockaddr_in from{};
        socklen_t len = sizeof from;
        if (::recvfrom(fd, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&from), &len) <= 0)
            continue;
        for (int n = 0; n < Datagrams && !stop; ++n) {
            const QByteArray d = datagram(n, breaks);
            ::sendto(fd, d.constData(), d.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
            ::usleep(GapMs * 1000);
        }
    }
}
}

int main(int argc, char** argv)
{
    BenchFolders folders;
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    folders.settle();

    sockaddr_in addr;
    const int fd = LoopbackServerSocket(addr);
    std::atomic<bool> stop{false}, breaks{false};
    std::thread server(serve, fd, std::ref(stop), std::ref(breaks));
    std::printf("%d coloured datagrams of about 1000 characters at %d a second, %d rounds each\n\n", Datagrams,
        1000 / GapMs, rounds);

    frmMain w;
    w.show();
    PointAtLoopback(w, ntohs(addr.sin_port), QStringLiteral("pw"));

    QTimer tick;
    tick.setInterval(20);
    QElapsedTimer clock;
    qint64 last = 0, worst = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        worst = std::max(worst, now - last);
        last = now;
    });
    // The two kinds alternate, after one round of each that is not counted (the first
    // drawing of the window and its fonts).
    std::vector<double> stalls[2];
    for (int r = -1; r < rounds; ++r) {
        for (const bool withBreaks : {false, true}) {
            breaks = withBreaks;
            // A command with an effect: its answer is drawn datagram by datagram as it comes.
            ui(w).txtCommand->setText(QStringLiteral("say flood"));
            ui(w).cmdConnect->click();
            clock.start();
            last = 0;
            worst = 0;
            tick.start();
            // The flood lasts 10 seconds; a little more lets the last datagram be drawn.
            while (clock.elapsed() < Datagrams * GapMs + 500)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            tick.stop();
            std::printf("  round %d, %s: worst gap %lld ms\n", r + 1, withBreaks ? "lines" : "no break", worst);
            std::fflush(stdout);
            if (r >= 0)
                stalls[withBreaks].push_back(double(worst));
        }
    }
    print("worst gap of a 20 ms timer, no line break", stats(stalls[0]), "ms");
    print("worst gap of a 20 ms timer, lines of 100 characters", stats(stalls[1]), "ms");
    stop = true;
    server.join();
    ::close(fd);
    return 0;
}
