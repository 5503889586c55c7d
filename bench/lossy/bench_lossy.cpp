// Runs `telmorax --send status` (the program beside this one, as a script would) against a real
// OpenArena server with 14 bots, so that its status comes in two datagrams, through a relay
// that loses 0, 5, 10 and 20 % of the datagrams each way and holds each one 50 ms. Prints, for
// each loss, the share of runs printed whole (exit 0), warned (exit 6: the answer came
// incomplete), unanswered (exit 4), and any other: a part printed as the whole, with exit 0 and
// no word, which should never be. An optional argument gives the runs for each loss (30).
#include "LossyRelay.h"
#include "OpenArenaServer.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 30;
    OpenArenaServer server(QStringLiteral("bench-pw"));
    server.set(QStringLiteral("sv_maxclients"), QStringLiteral("16"));
    if (!server.start() || !server.addBots(14)) {
        std::printf("the server did not come up with 14 bots: %s\n", qPrintable(server.errorText()));
        return 1;
    }
    QTemporaryDir home;  // the runs' memory and settings, thrown away
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("TELMORAX_PASSWORD"), server.password());
    std::printf("%d runs of `telmorax --send status` a loss, 14 bots (two datagrams), 50 ms each way\n", runs);
    std::printf("%-8s %8s %8s %11s %8s\n", "loss", "whole", "warned", "unanswered", "other");
    for (const int percent : {0, 5, 10, 20}) {
        LossyRelay relay(server.port(), static_cast<quint32>(percent + 1));
        relay.toServer.dropShare = relay.toClient.dropShare = percent / 100.0;
        relay.toServer.delayMs = relay.toClient.delayMs = 50;
        if (!relay.start())
            return 1;
        int whole = 0, warned = 0, unanswered = 0, other = 0;
        for (int i = 0; i < runs; ++i) {
            QProcess p;
            p.setProcessEnvironment(env);
            p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/telmorax"),
                {QStringLiteral("--send"), QStringLiteral("status"), QStringLiteral("127.0.0.1:%1").arg(relay.port())});
            p.waitForFinished(60000);
            const int status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
            const QString out = QString::fromLatin1(p.readAllStandardOutput());
            if (status == 0 && OpenArenaServer::IsWholeStatus(out, 14))
                ++whole;
            else if (status == 6)
                ++warned;
            else if (status == 4)
                ++unanswered;
            else
                ++other;
        }
        const auto share = [runs](int n) { return QStringLiteral("%1 %").arg(100.0 * n / runs, 0, 'f', 0); };
        std::printf("%-8s %8s %8s %11s %8s\n", qPrintable(QStringLiteral("%1 %").arg(percent)), qPrintable(share(whole)),
            qPrintable(share(warned)), qPrintable(share(unanswered)), qPrintable(share(other)));
        std::fflush(stdout);
    }
    return 0;
}
