// Startup benchmark: starts the program and the bare window alternately, each with
// TELMORAX_EXIT_WHEN_IDLE set and an empty settings folder of its own, and takes for each run
// the wall time from starting the process to its "idle" line (window shown, event loop idle)
// and the resident memory it reports then. Prints every run, the medians and their ratios.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
struct Sample {
    double wallMs = -1;
    double innerMs = -1;
    double rssKb = -1;
};

Sample runOnce(const QString& program)
{
    QTemporaryDir config;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TELMORAX_EXIT_WHEN_IDLE"), QStringLiteral("1"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::SeparateChannels);
    Sample s;
    QElapsedTimer clock;
    clock.start();
    p.start(program, {});
    QByteArray out;
    static const QRegularExpression idle(QStringLiteral("idle elapsed_ms=(\\d+) rss_kb=(\\d+)"));
    while (p.waitForReadyRead(30000)) {
        out += p.readAllStandardOutput();
        const auto m = idle.match(QString::fromLatin1(out));
        if (m.hasMatch()) {
            s.wallMs = clock.nsecsElapsed() / 1e6;
            s.innerMs = m.captured(1).toDouble();
            s.rssKb = m.captured(2).toDouble();
            break;
        }
    }
    if (!p.waitForFinished(30000))
        p.kill();
    p.waitForFinished();
    if (s.wallMs < 0)
        std::fprintf(stderr, "%s gave no idle line; stderr:\n%s\n", qPrintable(program), p.readAllStandardError().constData());
    return s;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}
}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int reps = argc > 1 ? std::max(1, atoi(argv[1])) : 9;
    const QString program = QStringLiteral(TELMORAX_PROGRAM);
    const QString bare = QStringLiteral(TELMORAX_BARE_WINDOW);
    std::printf("startup benchmark, platform %s, %d alternating runs each\n",
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ? "(default)" : qgetenv("QT_QPA_PLATFORM").constData(), reps);

    // One untimed run of each first, so both start with the libraries in the page cache.
    runOnce(program);
    runOnce(bare);

    std::vector<double> progWall, progInner, progRss, bareWall, bareInner, bareRss;
    for (int i = 0; i < reps; ++i) {
        const Sample a = runOnce(program);
        const Sample b = runOnce(bare);
        std::printf("run %2d  telmorax %7.1f ms (%5.0f in main) %7.0f KiB   bare window %7.1f ms (%5.0f in main) %7.0f KiB\n",
            i + 1, a.wallMs, a.innerMs, a.rssKb, b.wallMs, b.innerMs, b.rssKb);
        if (a.wallMs >= 0 && b.wallMs >= 0) {
            progWall.push_back(a.wallMs);
            progInner.push_back(a.innerMs);
            progRss.push_back(a.rssKb);
            bareWall.push_back(b.wallMs);
            bareInner.push_back(b.innerMs);
            bareRss.push_back(b.rssKb);
        }
    }
    if (progWall.empty()) {
        std::printf("no complete run\n");
        return 1;
    }
    const double pw = median(progWall), bw = median(bareWall);
    const double pi = median(progInner), bi = median(bareInner);
    const double pr = median(progRss), br = median(bareRss);
    std::printf("\nmedian                      telmorax   bare window   ratio\n");
    std::printf("start to shown and idle  %8.1f ms   %8.1f ms   %5.2f\n", pw, bw, pw / bw);
    std::printf("  of which after main()  %8.1f ms   %8.1f ms   %5.2f\n", pi, bi, pi / bi);
    std::printf("resident memory then     %8.0f KiB  %8.0f KiB  %5.2f\n", pr, br, pr / br);
    return 0;
}
