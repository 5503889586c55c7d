// A hostile or broken server against the real window, through stand-in servers on loopback:
// name lists far too long, a line of 200 KB, an answer that never ends, long coloured lines
// without line breaks, a datagram larger than the pane, a storm of refusals. Each outcome is
// checked; the generous waits and the memory bound only turn a hang or a runaway into a
// failure, they measure nothing.
#include "../log/ExchangeRig.h"

#include "completion/CommandCompletion.h"
#include "completion/NameRefresh.h"
#include "console/ColourCodes.h"
#include "console/ServerExchange.h"
#include "settings/UserDataFolder.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QDeadlineTimer>
#include <QTextBlock>

#include <cerrno>

namespace {
constexpr int Generous = 60000;
constexpr int PaneCap = 32000;

qint64 residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

// Sends the datagrams as the answer to the latest request, a few at a time, each batch once
// the window has read the one before: loopback drops what overflows a socket's buffer.
bool feed(frmMain& w, LoopbackServer& server, const QList<QByteArray>& texts)
{
    QSignalSpy arrived(w.session(), &ConsoleSession::datagramArrived);
    int sent = 0;
    while (sent < texts.size()) {
        const int first = sent;
        for (qint64 batch = 0; sent < texts.size() && sent - first < 16 && batch < 64 * 1024; batch += texts[sent++].size())
            server.reply(PrintReply(texts[sent]));
        for (QDeadlineTimer deadline(Generous); arrived.size() < sent;) {
            if (deadline.hasExpired())
                return false;
            QTest::qWait(1);
        }
    }
    return true;
}

// The text cut into datagrams of `size` bytes, anywhere, as a server splits long output.
QList<QByteArray> cut(const QByteArray& text, int size)
{
    QList<QByteArray> parts;
    for (int at = 0; at < text.size(); at += size)
        parts.append(text.mid(at, size));
    return parts;
}

QByteArray numbered(const char* format, int count)
{
    QByteArray text;
    for (int i = 1; i <= count; ++i)
        text += QString::asprintf(format, i).toLatin1();
    return text;
}

// The window asks, the stand-in answers; true once the pane shows `note` (the answer itself
// shows once it is over, before or after the note).
bool refresh(frmMain& w, LoopbackServer& server, const QList<QByteArray>& cmdlist, const QList<QByteArray>& cvarlist, const QString& note)
{
    const int before = server.received().size();
    ui(w).mnuViewRefreshNames->trigger();
    if (!server.waitForDatagrams(before + 1) || !server.received().last().data.endsWith("cmdlist") || !feed(w, server, cmdlist))
        return false;
    if (!cvarlist.isEmpty()
        && (!server.waitForDatagrams(before + 2, Generous) || !server.received().last().data.endsWith("cvarlist") || !feed(w, server, cvarlist)))
        return false;
    for (QDeadlineTimer deadline(Generous); !ui(w).txtOutput->text().contains(note + QStringLiteral("\r\n")) && !deadline.hasExpired();)
        QTest::qWait(20);
    return ui(w).txtOutput->text().contains(note + QStringLiteral("\r\n"));
}

QStringList offered(frmMain& w, const QString& typed)
{
    ui(w).txtCommand->clear();
    ui(w).txtCommand->setFocus();
    QTest::keyClicks(ui(w).txtCommand, typed);
    QAbstractItemView* popup = w.completion()->completer()->popup();
    QStringList names;
    for (int row = 0; popup->isVisible() && row < popup->model()->rowCount(); ++row)
        names.append(popup->model()->index(row, 0).data().toString());
    return names;
}

int longestLineOnScreen(const OutputPane* pane)
{
    int longest = 0;
    for (QTextBlock b = pane->document()->begin(); b.isValid(); b = b.next())
        longest = qMax(longest, b.length() - 1);
    return longest;
}
}

class HostileTest : public QObject {
    Q_OBJECT
private slots:
    void hostileAnswers()
    {
        TestEnv env;
        LoopbackServer server;
        frmMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        AimAt(w, server.port());
        ui(w).ckLog->setValue(1);
        const qint64 startKb = residentKb();
        const QString at = QStringLiteral("127.0.0.1:%1").arg(server.port());

        // 100 000 commands: the first 20 000 are kept and the refresh ends there; typing for
        // that server offers them, and nothing beyond them.
        QVERIFY(refresh(w, server, cut(numbered("c%06d\n", 100000) + "100000 commands\n", 50000), {},
            QStringLiteral("Names refresh stopped: the answer to cmdlist held more than 20000 names. "
                           "Names learned from %1: 20000 commands, 0 variables.").arg(at)));
        QCOMPARE(offered(w, QStringLiteral("c02")), QStringList({"c020000"}));
        QCOMPARE(offered(w, QStringLiteral("c0000")).size(), 99);

        // 100 000 variables after a line of 200 000 letters and a quote, a variable that is
        // also a command among them: 20 000 read, the command's name not as a variable.
        const QByteArray variables = QByteArray(200000, 'a') + "\"x\"\nS     say \"1\"\n" + numbered("S A   v%06d \"0\"\n", 100000) + "\n100002 total cvars\n";
        QVERIFY(refresh(w, server, cut("say\nkick\n2 commands\n", 100), cut(variables, 60000),
            QStringLiteral("Names refresh stopped: the answer to cvarlist held more than 20000 names. "
                           "Names learned from %1: 2 commands, 19999 variables.").arg(at)));
        QCOMPARE(offered(w, QStringLiteral("sa")), QStringList({"say"}));
        QCOMPARE(offered(w, QStringLiteral("v01999")).value(9), QStringLiteral("v019999"));
        QVERIFY(offered(w, QStringLiteral("v02")).isEmpty());
        QVERIFY(!ui(w).txtOutput->text().isEmpty() && ui(w).txtOutput->text().size() < PaneCap);

        // An answer that never ends: read up to 4 MB, nothing kept of what held no names;
        // then one that goes on too long (the time limit lowered for the test).
        QList<QByteArray> flood;
        for (int i = 0; i < 200; ++i)
            flood.append(QByteArray(60000, '-'));
        const int before = server.received().size();
        ui(w).mnuViewRefreshNames->trigger();
        QVERIFY(server.waitForDatagrams(before + 1));
        for (int i = 0; i < flood.size() && !ui(w).txtOutput->text().contains(QStringLiteral("passed 4 MB")); ++i)
            QVERIFY(feed(w, server, {flood[i]}));
        QVERIFY(ui(w).txtOutput->text().contains(QStringLiteral("No names learned: the answer to cmdlist passed 4 MB.\r\n")));
        NameRefresh::limits.answerMs = 2000;
        ui(w).mnuViewRefreshNames->trigger();
        QVERIFY(server.waitForDatagrams(before + 2));
        for (int i = 1; i < 200 && !ui(w).txtOutput->text().contains(QStringLiteral("more than 2 seconds")); ++i) {
            QVERIFY(feed(w, server, {"t" + QByteArray::number(i) + "\n"}));
            QTest::qWait(100);
        }
        NameRefresh::limits = NameRefresh::Limits();
        // The exchange, when that answer is over, finds no count at its end: cmdlist is a read,
        // asked once more, and again for the silence after.
        const int flooded = server.received().size();
        QVERIFY(server.waitForDatagrams(flooded + 2, Generous));
        QVERIFY(server.received().last().data.endsWith("cmdlist"));
        QVERIFY2(ui(w).txtOutput->text().contains(QRegularExpression(
                     "Names refresh stopped: the answer to cmdlist went on for more than 2 seconds. "
                     "Names learned from 127.0.0.1:\\d+: \\d+ commands, 0 variables.\r\n(\\(asking again, try \\d of 3: cmdlist\\)\r\n)*$")),
            qPrintable(ui(w).txtOutput->text().right(300)));
        QVERIFY(ui(w).mnuViewRefreshNames->isEnabled());
        // Its last try unanswered, the broken answer before it is what the pane is told of.
        QTRY_VERIFY_WITH_TIMEOUT(ui(w).txtOutput->text().endsWith(QStringLiteral("The answer came incomplete: a datagram was lost on the way.\r\n")), Generous);

        // 100 coloured datagrams of 1000 characters without a line break, each shown as it
        // comes: over lines of at most 1000 characters; the text kept, copied and logged is
        // what came.
        SendCommand(w, QStringLiteral("say colours"));
        QVERIFY(server.waitForDatagrams(flooded + 3));
        QList<QByteArray> coloured;
        QByteArray sent;
        for (int i = 0; i < 100; ++i) {
            coloured.append("^" + QByteArray::number(i % 8) + QByteArray(998, char('a' + i % 26)));
            sent += coloured.last();
        }
        QVERIFY(feed(w, server, coloured));
        const QString kept = ui(w).txtOutput->text();
        QVERIFY(!kept.isEmpty() && kept.size() < PaneCap && QString::fromLatin1(sent).endsWith(kept));
        QVERIFY(longestLineOnScreen(ui(w).txtOutput) <= OutputPane::WidestLine);
        ui(w).txtOutput->selectAll();
        QCOMPARE(ui(w).txtOutput->selText(), ColourCodes::Strip(kept));
        for (const int position : {2, 999, 1500, 3005, int(kept.size())}) {
            ui(w).txtOutput->setSelStart(position);
            QCOMPARE(ui(w).txtOutput->selStart(), position);
        }
        QTRY_VERIFY_WITH_TIMEOUT(env.readLog().contains(sent + "\r\n"), Generous);

        // A datagram larger than the pane: its end stays in view.
        QByteArray huge(65000, 'q');
        huge += "END";
        QVERIFY(feed(w, server, {huge}));
        QVERIFY(ui(w).txtOutput->text().size() < PaneCap && ui(w).txtOutput->text().endsWith(QStringLiteral("qqqEND")));
        QVERIFY(longestLineOnScreen(ui(w).txtOutput) <= OutputPane::WidestLine);

        // A storm of refusals is one line and one record, with its count; a different error,
        // or a datagram, ends the count.
        ui(w).cmdClear->click();
        for (int i = 0; i < 1000; ++i)
            w.session()->listening()->raiseSocketError(ECONNREFUSED);
        w.session()->listening()->raiseSocketError(EHOSTUNREACH);
        for (int i = 0; i < 3; ++i)
            w.session()->listening()->raiseSocketError(ECONNREFUSED);
        QVERIFY(feed(w, server, {"map: oa_dm1\n"}));
        const QString refused = QStringLiteral("Connection refused (1000 times)\r\n") + QString::fromLocal8Bit(strerror(EHOSTUNREACH))
            + QStringLiteral("\r\nConnection refused (3 times)\r\nmap: oa_dm1\r\n");
        QCOMPARE(ui(w).txtOutput->text(), refused);
        QTRY_VERIFY(env.readLog().contains(QStringLiteral("Connection refused (1000 times)\r\n\r\n%1\r\n\r\nConnection refused (3 times)\r\n\r\nmap: oa_dm1\r\n")
                                               .arg(QString::fromLocal8Bit(strerror(EHOSTUNREACH)))
                                               .toLatin1()));
        w.session()->listening()->raiseSocketError(ECONNREFUSED);
        QTRY_COMPARE(ui(w).txtOutput->text(), refused + QStringLiteral("Connection refused\r\n"));

        QVERIFY2(residentKb() - startKb < 512 * 1024, qPrintable(QString::number(residentKb() - startKb)));
    }
};

QTEST_MAIN(HostileTest)
#include "tst_hostile.moc"
