// The Servers window with 500 servers: stand-ins in one helper process (bench_standins), each
// on a loopback address of its own, answering status queries and rcon at once. Prints:
//   - click-to-answer in the table: from a click on a row (posted to the event queue, as the
//     window system delivers it) to the table's repaint showing the new row selected, with the
//     window idle (polling stopped) and while the 500 servers are polled every 15 s;
//   - resident memory of the window with 500 servers after a round of polling, against the same
//     window with an empty list;
//   - from Send of a command to 100 servers to the 100th answer in the results pane.
//   bench_servers [servers, default 500] [seconds of clicking in each state, default 30]
#include "../BenchStats.h"

#include "widgets/OutputPane.h"
#include "console/ServerList.h"
#include "console/ServerPasswords.h"
#include "servers/ServerPoller.h"
#include "servers/ServersModel.h"
#include "servers/frmServers.h"
#include "settings/ProgramInfo.h"
#include "widgets/MessageBox.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>
#include <unistd.h>

namespace {
const QString Password = QStringLiteral("bench-pw");

double residentMegabytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    return statm.readAll().split(' ').value(1).toDouble() * sysconf(_SC_PAGESIZE) / (1024.0 * 1024.0);
}

void runFor(int ms)
{
    for (QDeadlineTimer d(ms); !d.hasExpired();)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool runUntil(const std::function<bool()>& done, int timeoutMs)
{
    for (QDeadlineTimer d(timeoutMs); !done(); ) {
        if (d.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

int answered(const frmServers& w)
{
    int n = 0;
    for (const SavedServer& s : w.servers->servers())
        n += w.poller->state({s.host, s.port}).answering ? 1 : 0;
    return n;
}

// Clicks on rows for `seconds`, a click every 20 to 120 ms, and returns the click-to-repaint
// times in ms. The click is posted, so that it waits behind whatever the event loop has to do.
std::vector<double> clickRows(frmServers& w, int seconds)
{
    QTableView* table = w.grdServers;
    QWidget* viewport = table->viewport();
    std::vector<double> samples;
    QElapsedTimer sinceClick;
    bool selected = false, waiting = false;
    struct Watch : QObject {
        std::function<void()> painted;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Paint && painted)
                painted();
            return false;
        }
    } watch;
    watch.painted = [&] {
        if (waiting && selected) {
            samples.push_back(sinceClick.nsecsElapsed() / 1e6);
            waiting = false;
        }
    };
    viewport->installEventFilter(&watch);
    const QMetaObject::Connection c = QObject::connect(table->selectionModel(), &QItemSelectionModel::currentChanged,
        [&] { selected = true; });
    const int rows = qMax(2, viewport->height() / table->verticalHeader()->defaultSectionSize() - 1);
    for (QDeadlineTimer d(seconds * 1000); !d.hasExpired();) {
        int row = QRandomGenerator::global()->bounded(rows);
        if (row == table->currentIndex().row())
            row = (row + 1) % rows;
        const QPoint at(table->columnViewportPosition(0) + 5, table->rowViewportPosition(row) + table->rowHeight(row) / 2);
        selected = false;
        waiting = true;
        sinceClick.start();
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QCoreApplication::postEvent(viewport, new QMouseEvent(type, at, viewport->mapToGlobal(at), Qt::LeftButton,
                type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier));
        }
        runUntil([&] { return !waiting; }, 2000);
        runFor(QRandomGenerator::global()->bounded(20, 120));
    }
    QObject::disconnect(c);
    viewport->removeEventFilter(&watch);
    return samples;
}

frmServers::MainWindowLink link()
{
    frmServers::MainWindowLink l;
    l.readBoxes = [](QString* address, QString* port, QString* password) { *address = *port = *password = QString(); };
    l.fillBoxes = [](const QString&, int, const QString&) {};
    l.logging = [] { return false; };
    return l;
}
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config, data, program;  // settings, list file and log of its own
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");  // passwords in memory
    QApplication app(argc, argv);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
    ProgramInfo::setProgramFolderForTesting(program.path());
    MessageBox::setRecording(true);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 500;
    const int clickSeconds = argc > 2 ? QByteArray(argv[2]).toInt() : 30;
    const int sendTo = qMin(100, count);

    QProcess standins;
    standins.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    standins.start(QCoreApplication::applicationDirPath() + QStringLiteral("/bench_standins"),
        {QString::number(count), Password});
    QList<SavedServer> list;
    while (standins.waitForReadyRead(10000) || standins.canReadLine()) {
        bool ready = false;
        while (standins.canReadLine()) {
            const QList<QByteArray> words = standins.readLine().trimmed().split(' ');
            if (words.first() == "ready") {
                ready = true;
                break;
            }
            SavedServer s;
            s.host = QString::fromLatin1(words.value(0));
            s.port = words.value(1).toInt();
            s.label = QStringLiteral("Stand-in %1").arg(list.size() + 1);
            s.group = list.size() < sendTo ? QStringLiteral("first") : QStringLiteral("rest");
            list.append(s);
        }
        if (ready)
            break;
    }
    if (list.size() != count) {
        std::printf("the stand-ins did not start (%lld of %d)\n", static_cast<long long>(list.size()), count);
        return 1;
    }
    std::printf("%d stand-in servers, the window polling every 15 s\n", count);

    // The window with no servers, then with them all, each after a round of polling.
    double emptyMb = 0;
    {
        frmServers empty(link());
        empty.show();
        runFor(3000);
        emptyMb = residentMegabytes();
    }
    if (!SaveServerList(list))
        return 1;
    frmServers w(link());
    int written = 0;
    for (int i = 0; i < sendTo; ++i)
        w.passwords->write(list[i].host, list[i].port, Password, &w, [&](bool kept) { written += kept; });
    w.resize(900, 560);
    w.show();
    QElapsedTimer round;
    round.start();
    if (!runUntil([&] { return answered(w) == count; }, 60000)) {
        std::printf("only %d of %d servers answered\n", answered(w), count);
        return 1;
    }
    std::printf("%-58s %9.0f ms\n", "first round of polling, every server answered", double(round.elapsed()));
    runUntil([&] { return written == sendTo; }, 10000);
    runFor(15000);  // a steady round
    const double fullMb = residentMegabytes();
    std::printf("%-58s %9.1f MiB (empty list: %.1f MiB)\n", "resident memory growth for the list", fullMb - emptyMb, emptyMb);

    const std::vector<double> polling = clickRows(w, clickSeconds);
    const int polls = w.poller->state({list.last().host, list.last().port}).polls;
    w.poller->stop();
    runFor(2500);
    const std::vector<double> idle = clickRows(w, clickSeconds);
    const Stats busy = stats(polling), quiet = stats(idle);
    print("click to repaint, idle (polling stopped)", quiet, "ms");
    print("click to repaint, while polling", busy, "ms");
    std::printf("%-58s %9.2f (median), %.2f (mean); the last server polled %d times\n", "... while polling, as a multiple of idle",
        busy.median / quiet.median, busy.mean / quiet.mean, polls);

    // Send to the first 100 servers (their group), polling on again.
    w.txtPollSeconds->setValue(15);
    w.show();
    QMetaObject::invokeMethod(&w, [&] { w.poller->start(); });
    runFor(1000);
    std::vector<double> sends;
    for (int rep = 0; rep < 5; ++rep) {
        const int before = static_cast<int>(w.txtResults->text().count(QStringLiteral("): answered")));
        w.cboSendTo->setCurrentIndex(w.cboSendTo->findText(QStringLiteral("Group: first")));
        w.txtCommand->setText(QStringLiteral("say bench %1").arg(rep));
        MessageBox::setNextAnswer(QMessageBox::Yes);
        QElapsedTimer sinceSend;
        sinceSend.start();
        w.cmdSend->click();
        if (!runUntil([&] { return w.txtResults->text().count(QStringLiteral("): answered")) >= before + sendTo; }, 30000)) {
            std::printf("send %d: only %lld answers\n", rep,
                static_cast<long long>(w.txtResults->text().count(QStringLiteral("): answered")) - before));
            return 1;
        }
        sends.push_back(sinceSend.nsecsElapsed() / 1e6);
        runFor(3000);
    }
    print(qPrintable(QStringLiteral("Send to the %1th answer in the results pane").arg(sendTo)), stats(sends), "ms");
    standins.closeWriteChannel();
    standins.waitForFinished(5000);
    return 0;
}
