// A long session through the real window: commands sent with the Send button to a stand-in
// server on loopback (a socket in this thread), each answered with a status-sized reply of
// about 900 bytes. Prints how resident memory, open files and the output pane behave over
// the session. Memory and files are measured after a warm-up of a tenth of the session.
//   bench_soak [exchanges, default 5000]
// Exits 1 only when an exchange breaks: a request that never arrives or a reply never shown.
#include "widgets/OutputPane.h"
#include "console/RconDatagram.h"
#include "settings/ProgramInfo.h"
#include "ui/frmMain.h"
#include "MainWindowControls.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <cstdio>
#include <unistd.h>

namespace {
constexpr int PaneCap = 32000;

long residentKilobytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    return statm.readAll().split(' ').value(1).toLong() * sysconf(_SC_PAGESIZE) / 1024;
}

int openFiles()
{
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size();
}

// The body of a status reply with a dozen players.
QByteArray statusBody(int exchange)
{
    QByteArray body = "map: oa_dm1\n"
                      "num score ping name            lastmsg address               qport rate\n"
                      "--- ----- ---- --------------- ------- --------------------- ----- -----\n";
    for (int n = 0; n < 12; ++n)
        body += QStringLiteral("%1 %2 %3 Player%4        %5 127.0.0.1:%6 %7 25000\n")
                    .arg(n, 3).arg((exchange * 7 + n) % 100, 5).arg(40 + n, 4).arg(n, 2, 10, QLatin1Char('0'))
                    .arg(n * 50, 7).arg(27961 + n, -12).arg(1000 + n, 5)
                    .toLatin1();
    return body + "reply " + QByteArray::number(exchange) + "\n";
}

bool fail(const char* what, int exchange)
{
    std::printf("exchange %d: %s\n", exchange, what);
    return false;
}
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config, program;  // settings and log of its own
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
    ProgramInfo::setProgramFolderForTesting(program.path());
    const int exchanges = argc > 1 ? QByteArray(argv[1]).toInt() : 5000;
    const int warmUp = exchanges / 10;

    QUdpSocket server;
    server.bind(QHostAddress::LocalHost, 0);
    frmMain w;
    QString lastReply;  // the latest datagram's text, as the pane got it
    QObject::connect(w.session(), &ConsoleSession::replyText, [&lastReply](const QString& text, bool) { lastReply = text; });
    w.show();
    ui(w).txtAddr->setEditText(QStringLiteral("127.0.0.1"));
    ui(w).txtPort->setEditText(QString::number(server.localPort()));
    ui(w).txtPassword->setText(QStringLiteral("soak-pw"));

    long rssAtWarmUp = 0;
    int filesAtWarmUp = 0, emptied = 0, previousSize = 0, largest = 0;
    QElapsedTimer clock;
    clock.start();
    bool ok = true;
    for (int i = 1; i <= exchanges && ok; ++i) {
        const QString command = QStringLiteral("say soak %1").arg(i);
        ui(w).txtCommand->setText(command);
        ui(w).cmdConnect->click();
        QDeadlineTimer deadline(5000);
        while (!server.hasPendingDatagrams() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!server.hasPendingDatagrams()) {
            ok = fail("the request never arrived", i);
            break;
        }
        const QNetworkDatagram request = server.receiveDatagram();
        if (request.data() != BuildRequest(QStringLiteral("soak-pw"), command))
            ok = fail("the request's bytes differ", i);
        server.writeDatagram(QByteArray("\xff\xff\xff\xff" "print\n", 10) + statusBody(i), request.senderAddress(),
            quint16(request.senderPort()));
        const QString marker = QStringLiteral("reply %1\r\n").arg(i);
        while (!lastReply.endsWith(marker) && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!lastReply.endsWith(marker))
            ok = fail("the reply was never shown", i);
        const int size = ui(w).txtOutput->text().size();
        if (size >= PaneCap || (size > 0 && !ui(w).txtOutput->text().endsWith(marker)))
            ok = fail("the pane is over its cap or lost the reply", i);
        emptied += size < previousSize;
        largest = qMax(largest, size);
        previousSize = size;
        if (i == warmUp) {
            rssAtWarmUp = residentKilobytes();
            filesAtWarmUp = openFiles();
        }
    }
    const long rssAtEnd = residentKilobytes();
    std::printf("exchanges                %d in %.1f s\n", exchanges, clock.elapsed() / 1000.0);
    std::printf("resident memory          %ld KiB after %d, %ld KiB at the end (%+.1f%%)\n", rssAtWarmUp, warmUp, rssAtEnd,
        rssAtWarmUp > 0 ? 100.0 * (rssAtEnd - rssAtWarmUp) / rssAtWarmUp : 0.0);
    std::printf("open files               %d after %d, %d at the end\n", filesAtWarmUp, warmUp, openFiles());
    std::printf("output pane              emptied %d times at its cap of %d characters, largest %d\n", emptied, PaneCap, largest);
    ProgramInfo::setProgramFolderForTesting(QString());
    return ok ? 0 : 1;
}
