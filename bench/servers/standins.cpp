// Stand-in Quake 3 servers for the Servers benchmark: N sockets in one process, each on a
// loopback address of its own (127.0.1.1, 127.0.1.2, ...; the program's request budget counts
// per address, as the real servers do), answering at once:
//   getstatus TOKEN          statusResponse with TOKEN as its challenge, a host name with
//                            colour codes, a map, two players and a bot
//   rcon PASSWORD COMMAND    "print" and a line naming the server and the command, or
//                            "Bad rconpassword." for another password
// It prints "HOST PORT" for each server, then "ready", and runs until its standard input
// closes. Every request is counted; the counts go to standard error at the end.
//   bench_standins COUNT PASSWORD
#include <QCoreApplication>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QSocketNotifier>
#include <QUdpSocket>

#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {
const QByteArray OutOfBand("\xff\xff\xff\xff", 4);

QByteArray answer(int server, const QByteArray& request, const QByteArray& password, long* polls, long* commands)
{
    if (!request.startsWith(OutOfBand))
        return {};
    const QByteArray text = request.mid(4);
    if (text.startsWith("getstatus")) {
        ++*polls;
        const QByteArray token = text.mid(10);
        return OutOfBand + "statusResponse\n\\challenge\\" + token
            + "\\version\\ioq3 1.36 stand-in\\sv_hostname\\^1Stand-in ^7" + QByteArray::number(server)
            + "\\mapname\\oa_dm" + QByteArray::number(server % 7 + 1) + "\\g_gametype\\0\\sv_maxclients\\16\n"
            + "12 48 \"^2Ann\"\n3 75 \"Bob\"\n5 0 \"Sarge\"\n";
    }
    if (text.startsWith("rcon ")) {
        ++*commands;
        const QByteArray rest = text.mid(5);
        const int space = rest.indexOf(' ');
        if (rest.left(space) != password)
            return OutOfBand + "print\nBad rconpassword.\n";
        return OutOfBand + "print\nstand-in " + QByteArray::number(server) + ": " + rest.mid(space + 1) + "\n";
    }
    return {};
}
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 500;
    const QByteArray password = argc > 2 ? QByteArray(argv[2]) : QByteArray("bench");
    long polls = 0, commands = 0;
    std::vector<std::unique_ptr<QUdpSocket>> sockets;
    for (int i = 0; i < count; ++i) {
        auto socket = std::make_unique<QUdpSocket>();
        const QHostAddress address((127u << 24) + (1u << 8) + 1u + static_cast<quint32>(i));  // 127.0.1.1 on
        if (!socket->bind(address, 0)) {
            std::fprintf(stderr, "cannot bind %s: %s\n", qPrintable(address.toString()), qPrintable(socket->errorString()));
            return 1;
        }
        QUdpSocket* s = socket.get();
        QObject::connect(s, &QUdpSocket::readyRead, s, [=, &polls, &commands] {
            while (s->hasPendingDatagrams()) {
                const QNetworkDatagram d = s->receiveDatagram();
                const QByteArray reply = answer(i + 1, d.data(), password, &polls, &commands);
                if (!reply.isEmpty())
                    s->writeDatagram(reply, d.senderAddress(), static_cast<quint16>(d.senderPort()));
            }
        });
        std::printf("%s %d\n", qPrintable(address.toString()), s->localPort());
        sockets.push_back(std::move(socket));
    }
    std::printf("ready\n");
    std::fflush(stdout);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            app.quit();
    });
    const int status = app.exec();
    std::fprintf(stderr, "stand-ins: %ld status requests, %ld rcon requests\n", polls, commands);
    return status;
}
