// A long session through the real window: 5000 commands sent with the Send button to a
// stand-in server on loopback, each answered with a status-sized reply. The output pane keeps
// within its cap throughout, and neither memory nor open files grow with the session.
#include "LoopbackServer.h"
#include "TestEnv.h"

#include "console/OutputPane.h"
#include "console/RconDatagram.h"
#include "ui/frmMain.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <unistd.h>

namespace {
constexpr int Exchanges = 5000;
constexpr int Baseline = 500;
constexpr int PaneCap = 32000;

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

int openFiles()
{
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size();
}

// The body of a status reply with a dozen players: about 900 bytes.
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
    body += "reply " + QByteArray::number(exchange) + "\n";
    return body;
}
}

class SoakTest : public QObject {
    Q_OBJECT
private slots:
    void fiveThousandExchanges()
    {
        TestEnv env;
        LoopbackServer server;

        frmMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.txtAddr->setEditText(QStringLiteral("127.0.0.1"));
        w.txtPort->setEditText(QString::number(server.port()));
        w.txtPassword->setText(QStringLiteral("soak-pw"));

        qint64 rssAtBaseline = 0;
        int filesAtBaseline = 0;
        int emptied = 0;
        int previousSize = 0;
        for (int i = 1; i <= Exchanges; ++i) {
            const QString command = QStringLiteral("say soak %1").arg(i);
            w.txtCommand->setText(command);
            w.cmdConnect->click();

            QVERIFY2(server.waitForDatagrams(i), qPrintable(QStringLiteral("request %1 never arrived").arg(i)));
            QCOMPARE(server.received().size(), i);
            QCOMPARE(server.received().last().data, BuildRequest(QStringLiteral("soak-pw"), command));
            server.received().last().data.clear();  // keep the server's record small

            server.reply(PrintReply(statusBody(i)));
            const QString marker = QStringLiteral("reply %1\r\n").arg(i);
            QDeadlineTimer deadline(5000);
            while (!w.strReply.endsWith(marker) && !deadline.hasExpired())
                QTest::qWait(1);
            QVERIFY2(w.strReply.endsWith(marker), qPrintable(QStringLiteral("reply %1 never shown").arg(i)));

            // The pane holds the reply at its end, unless this reply took it to the cap and
            // emptied it; either way it stays below the cap.
            const QString pane = w.txtOutput->text();
            QVERIFY2(pane.size() < PaneCap, qPrintable(QString::number(pane.size())));
            QVERIFY(pane.isEmpty() || pane.endsWith(marker));
            if (pane.size() < previousSize)
                ++emptied;
            previousSize = pane.size();

            if (i == Baseline) {
                rssAtBaseline = residentBytes();
                filesAtBaseline = openFiles();
                QVERIFY(rssAtBaseline > 0);
            }
        }
        const qint64 rssAtEnd = residentBytes();
        const int filesAtEnd = openFiles();
        qInfo("resident memory after %d exchanges: %lld KiB; after %d: %lld KiB (%.1f%%); pane emptied %d times; open files %d then %d",
            Baseline, rssAtBaseline / 1024, Exchanges, rssAtEnd / 1024, 100.0 * (rssAtEnd - rssAtBaseline) / rssAtBaseline,
            emptied, filesAtBaseline, filesAtEnd);

        // The session went round the cap many times, so the pane's emptying was exercised.
        QVERIFY(emptied >= Exchanges * 900 / PaneCap / 2);
        QVERIFY2(rssAtEnd <= rssAtBaseline * 11 / 10,
            qPrintable(QStringLiteral("memory grew from %1 KiB to %2 KiB").arg(rssAtBaseline / 1024).arg(rssAtEnd / 1024)));
        QVERIFY2(filesAtEnd <= filesAtBaseline + 2, qPrintable(QStringLiteral("open files %1 -> %2").arg(filesAtBaseline).arg(filesAtEnd)));
    }
};

QTEST_MAIN(SoakTest)
#include "tst_soak.moc"
