// Requests through the exchange unit and the request budget, against a stand-in server on
// loopback and a real OpenArena server: every outcome, the engine's rule learned from its
// status answer, requests over the budget held back in order instead of lost.
#include "LoopbackServer.h"
#include "OpenArenaServer.h"
#include "TestEnv.h"

#include "console/RconDatagram.h"
#include "console/RequestBudget.h"
#include "console/ServerExchange.h"
#include "settings/Shutdown.h"

#include <QTest>

#include <algorithm>

namespace {
// What one exchange reported.
struct Seen {
    QList<qint64> waits;
    bool sent = false;
    bool done = false;
    ExchangeOutcome outcome;
};

ServerExchange* Ask(Seen& seen, quint16 port, const QString& command, const QString& password = QStringLiteral("pw"),
    std::function<void(ExchangeRequest&)> adjust = {})
{
    ExchangeRequest r;
    r.host = QStringLiteral("127.0.0.1");
    r.port = port;
    r.password = password;
    r.command = command;
    r.firstDatagramMs = 3000;
    r.quietMs = 300;
    if (adjust)
        adjust(r);
    ServerExchange* e = ServerExchange::ask(r);
    QObject::connect(e, &ServerExchange::waiting, [&seen](qint64 ms) { seen.waits << ms; });
    QObject::connect(e, &ServerExchange::sent, [&seen] { seen.sent = true; });
    QObject::connect(e, &ServerExchange::finished, [&seen](const ExchangeOutcome& o) {
        QVERIFY(!seen.done);
        seen.done = true;
        seen.outcome = o;
    });
    return e;
}

QByteArray StatusAnswer(const char* version)
{
    return QByteArray("\xff\xff\xff\xffstatusResponse\n\\sv_hostname\\stand-in\\version\\") + version + "\\mapname\\oa_dm1\n";
}
}

class ServerExchangeTest : public QObject {
    Q_OBJECT
private slots:
    void init() { RequestScheduler::instance().resetForTests(); }

    // The first rcon request to a server asks its engine first (out of band, no password),
    // and the answer's version chooses the rule: here the 1.32 line, so a second rcon request
    // made at once waits its 550 ms and says so. A reply over two datagrams, a refused
    // password, silence, a cancel before and after sending, an automatic request skipped,
    // a closing program, a closed port and a name that does not resolve.
    void outcomesAgainstAStandIn()
    {
        LoopbackServer server;
        const QHostAddress here(QHostAddress::LocalHost);
        Seen first, second;
        Ask(first, server.port(), QStringLiteral("status"));
        QVERIFY(server.waitForDatagrams(2));
        QVERIFY(server.received()[0].data.startsWith("\xff\xff\xff\xffgetstatus "));
        QCOMPARE(server.received()[1].data, BuildRequest(QStringLiteral("pw"), QStringLiteral("status")));
        QCOMPARE(RequestScheduler::instance().ruleFor(here), BudgetRule::Unknown());
        server.sendTo(StatusAnswer("Q3 1.32b linux-i386"), here, server.received()[0].senderPort);
        server.reply(PrintReply("map: oa_dm1\nnum sc"));
        server.reply(PrintReply("ore\n--- -----\n\n"));
        QTRY_VERIFY(first.done);
        QCOMPARE(first.outcome.kind, ExchangeOutcome::Answered);
        QCOMPARE(first.outcome.datagrams, (QList<QByteArray>{PrintReply("map: oa_dm1\nnum sc"), PrintReply("ore\n--- -----\n\n")}));
        QCOMPARE(first.outcome.text, QStringLiteral("map: oa_dm1\r\nnum score\r\n--- -----\r\n\r\n"));
        QVERIFY(!first.outcome.incomplete && first.outcome.tries == 1);
        QCOMPARE(first.outcome.address, here);
        QVERIFY(first.outcome.roundTripMs >= 0 && first.sent && first.waits.isEmpty());
        QCOMPARE(RequestScheduler::instance().ruleFor(here), (BudgetRule{0, 0, 550}));

        Ask(first = Seen(), server.port(), QStringLiteral("one"));
        Ask(second, server.port(), QStringLiteral("two"), QStringLiteral("wrong"));
        QTRY_VERIFY(first.sent);
        QVERIFY(!second.sent && second.waits.size() == 1 && second.waits[0] >= 550);
        QVERIFY(server.waitForDatagrams(4));
        QCOMPARE(server.received()[3].data, BuildRequest(QStringLiteral("wrong"), QStringLiteral("two")));
        server.reply(PrintReply("Bad rconpassword.\n"));
        QTRY_VERIFY(second.done && first.done);
        QCOMPARE(first.outcome.kind, ExchangeOutcome::NoAnswer);
        QCOMPARE(second.outcome.kind, ExchangeOutcome::BadPassword);

        // Cancelled while waiting: never sent. Cancelled once sent: no answer heard.
        // Automatic and held too long: skipped. Closing: nothing goes.
        Seen waiting, inFlight, skipped, closing;
        ServerExchange* sentOne = Ask(inFlight, server.port(), QStringLiteral("three"));
        Ask(waiting, server.port(), QStringLiteral("four"))->cancel();
        Ask(skipped, server.port(), QStringLiteral("five"), QStringLiteral("pw"), [](ExchangeRequest& r) {
            r.priority = ExchangeRequest::Priority::Automatic;
            r.skipIfWaitLongerMs = 500;
        });
        QTRY_VERIFY(inFlight.sent);
        sentOne->cancel();
        QVERIFY(server.waitForDatagrams(5));
        server.reply(PrintReply("late\n"));
        BeginShutdown();
        Ask(closing, server.port(), QStringLiteral("six"));
        QTRY_VERIFY(waiting.done && inFlight.done && skipped.done && closing.done);
        EndShutdown();
        QCOMPARE(waiting.outcome.kind, ExchangeOutcome::Cancelled);
        QCOMPARE(inFlight.outcome.kind, ExchangeOutcome::Cancelled);
        QVERIFY(inFlight.outcome.datagrams.isEmpty());
        QCOMPARE(skipped.outcome.kind, ExchangeOutcome::Skipped);
        QCOMPARE(closing.outcome.kind, ExchangeOutcome::Cancelled);
        QVERIFY(!waiting.sent && !skipped.sent && !closing.sent);
        QTest::qWait(700);
        QCOMPARE(server.received().size(), 5);

        // A server that never stops sending: the answer ends at its size limit, with what came.
        Seen flood;
        Ask(flood, server.port(), QStringLiteral("flood"), QStringLiteral("pw"), [](ExchangeRequest& r) { r.maxAnswerBytes = 5000; });
        QTRY_VERIFY(flood.sent);
        QVERIFY(server.waitForDatagrams(6));
        for (int i = 0; i < 50 && !flood.done; ++i) {
            server.reply(PrintReply(QByteArray(1000, 'x')));
            QTest::qWait(10);
        }
        QTRY_VERIFY(flood.done);
        QCOMPARE(flood.outcome.kind, ExchangeOutcome::Answered);
        QVERIFY(flood.outcome.cut);
        QCOMPARE(flood.outcome.datagrams.size(), 5);  // 1010 bytes each: the fifth reaches 5000

        Seen refused, unresolved, badPort;
        Ask(refused, static_cast<quint16>(FreeUdpPort()), QStringLiteral("status"));
        Ask(unresolved, server.port(), QStringLiteral("status"), QStringLiteral("pw"), [](ExchangeRequest& r) { r.host = "no..such..host"; });
        Ask(badPort, 0, QStringLiteral("status"));
        QTRY_VERIFY(refused.done && unresolved.done && badPort.done);
        QCOMPARE(refused.outcome.kind, ExchangeOutcome::Refused);
        QCOMPARE(refused.outcome.errorText, QStringLiteral("Connection refused"));
        QCOMPARE(unresolved.outcome.kind, ExchangeOutcome::NotResolved);
        QVERIFY(!unresolved.outcome.errorText.isEmpty());
        QCOMPARE(badPort.outcome.kind, ExchangeOutcome::NotResolved);
        QCOMPARE(server.received().size(), 6);
        QCOMPARE(ExchangeOutcome::words(ExchangeOutcome::BadPassword), QStringLiteral("bad password"));
    }

    // A server that answers nothing: only a read is asked again, three times in all, each try in
    // its turn of the budget; a command with an effect, or anything the list does not know as a
    // read, goes once. A broken answer, then none: the broken one is given, incomplete.
    void onlyReadsAreAskedAgain()
    {
        LoopbackServer server;
        RequestScheduler::instance().setRule(QHostAddress::LocalHost, BudgetRule{0, 0, 100});
        const QStringList reads = {QStringLiteral("sv_hostname"), QStringLiteral("timelimit"), QStringLiteral("cvarlist g_*"),
            QStringLiteral(" status "), QStringLiteral("dumpuser 3")};
        const QStringList writes = {QStringLiteral("say x"), QStringLiteral("map_restart"), QStringLiteral("cvar_restart"),
            QStringLiteral("shuffle"), QStringLiteral("status; quit"), QStringLiteral("echo a\nquit"),
            QStringLiteral("sv_hostname evil"), QStringLiteral("g_gametype 4"), QStringLiteral("kick all")};
        QList<Seen> seen(reads.size() + writes.size());
        for (int i = 0; i < seen.size(); ++i) {
            const QString command = i < reads.size() ? reads[i] : writes[i - reads.size()];
            Ask(seen[i], server.port(), command, QStringLiteral("pw"), [](ExchangeRequest& r) { r.firstDatagramMs = 200; });
        }
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(seen.begin(), seen.end(), [](const Seen& s) { return s.done; }), 20000);
        for (int i = 0; i < seen.size(); ++i) {
            const QString command = i < reads.size() ? reads[i] : writes[i - reads.size()];
            const int sent = std::count_if(server.received().begin(), server.received().end(),
                [&](const LoopbackServer::Datagram& d) { return d.data == BuildRequest(QStringLiteral("pw"), command); });
            QCOMPARE(seen[i].outcome.kind, ExchangeOutcome::NoAnswer);
            QCOMPARE(sent, i < reads.size() ? 3 : 1);
            QCOMPARE(seen[i].outcome.tries, sent);
        }

        Seen broken;
        Ask(broken, server.port(), QStringLiteral("cmdlist"), QStringLiteral("pw"), [](ExchangeRequest& r) { r.firstDatagramMs = 300; });
        const int before = server.received().size();
        QVERIFY(server.waitForDatagrams(before + 1));
        server.reply(PrintReply("status\nsay\n3 commands\n"));
        QTRY_VERIFY_WITH_TIMEOUT(broken.done, 10000);
        QCOMPARE(server.received().size(), before + 3);
        QCOMPARE(broken.outcome.kind, ExchangeOutcome::Answered);
        QVERIFY(broken.outcome.incomplete && broken.outcome.tries == 3);
        QCOMPARE(broken.outcome.text, QStringLiteral("status\r\nsay\r\n3 commands\r\n"));
    }

    // The real server: 15 commands asked at once, more than its burst, are all run and all
    // answered, in order; its status answer out of band; a wrong password refused.
    void realServerTakesEveryRequest()
    {
        OpenArenaServer server(QStringLiteral("s3cret-pw"));
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        QList<Seen> seen(15);
        QList<int> order;
        for (int i = 0; i < seen.size(); ++i) {
            ServerExchange* e = Ask(seen[i], server.port(), QStringLiteral("echo n%1").arg(i + 1), server.password());
            connect(e, &ServerExchange::finished, this, [&order, i] { order << i; });
        }
        QTRY_VERIFY_WITH_TIMEOUT(order.size() == seen.size(), 40000);
        int waited = 0;
        for (int i = 0; i < seen.size(); ++i) {
            QCOMPARE(order[i], i);
            QCOMPARE(seen[i].outcome.kind, ExchangeOutcome::Answered);
            QCOMPARE(seen[i].outcome.text, QStringLiteral("n%1\r\n").arg(i + 1));
            waited += !seen[i].waits.isEmpty();
        }
        QVERIFY2(waited >= 7, qPrintable(QString::number(waited)));
        QCOMPARE(server.output().count(QStringLiteral("Rcon from 127.0.0.1: echo n")), 15);
        QCOMPARE(RequestScheduler::instance().ruleFor(QHostAddress::LocalHost), BudgetRule::ForVersion(QStringLiteral("ioq3")));

        Seen status, refused;
        Ask(status, server.port(), QStringLiteral("getstatus 1234"), QString(), [](ExchangeRequest& r) { r.outOfBand = true; });
        Ask(refused, server.port(), QStringLiteral("status"), QStringLiteral("wrong"));
        QTRY_VERIFY_WITH_TIMEOUT(status.done && refused.done, 10000);
        QCOMPARE(status.outcome.kind, ExchangeOutcome::Answered);
        QVERIFY(status.outcome.datagrams.value(0).startsWith("\xff\xff\xff\xffstatusResponse\n\\"));
        QVERIFY(status.outcome.text.contains(QStringLiteral("\\challenge\\1234\\")));
        QCOMPARE(refused.outcome.kind, ExchangeOutcome::BadPassword);
        QVERIFY(server.waitForOutput(QStringLiteral("Bad rcon from 127.0.0.1")));
    }
};

QTEST_MAIN(ServerExchangeTest)
#include "tst_serverexchange.moc"
