// The poller against stand-in servers on loopback, each on a loopback address of its own (the
// request budget counts per address): the request and its token, an answer read and timed, an
// answer with another token or from another port ignored, silence reported as "no answer"
// with the last values kept, a refusal, and nothing more sent once stopped. The schedule is
// checked as plain numbers.
#include "console/RequestBudget.h"
#include "settings/Shutdown.h"
#include "servers/ServerPoller.h"

#include "LoopbackServer.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

namespace {
// The token of a "getstatus TOKEN" request.
QByteArray tokenOf(const QByteArray& request)
{
    static const QByteArray prefix("\xff\xff\xff\xffgetstatus ");
    return request.startsWith(prefix) ? request.mid(prefix.size()) : QByteArray();
}

QByteArray statusReply(const QByteArray& token, const QByteArray& hostName, const QByteArray& players = {})
{
    return "\xff\xff\xff\xffstatusResponse\n\\challenge\\" + token + "\\sv_hostname\\" + hostName
        + "\\mapname\\oa_dm1\\sv_maxclients\\8\n" + players;
}

PolledServer polled(const LoopbackServer& s)
{
    return {s.address().toString(), s.port()};
}
}

class PollerTest : public QObject {
    Q_OBJECT
private slots:
    void schedule()
    {
        // The first round quickly, 50 ms apart at most; then each server once a period,
        // the servers spread evenly over it.
        QCOMPARE(PollDueMs(0, 0, 3, 15000), 0);
        QCOMPARE(PollDueMs(0, 2, 3, 15000), 100);
        QCOMPARE(PollDueMs(1, 0, 3, 15000), 15000);
        QCOMPARE(PollDueMs(1, 1, 3, 15000), 20000);
        QCOMPARE(PollDueMs(2, 2, 3, 15000), 40000);
        QCOMPARE(PollDueMs(0, 499, 500, 15000), 499 * 30);
        QCOMPARE(PollDueMs(7, 499, 500, 15000), 7 * 15000 + 499 * 30);
        QCOMPARE(PollDueMs(3, 0, 0, 15000), 0);
        for (int i = 1; i < 500; ++i)
            QVERIFY(PollDueMs(4, i, 500, 15000) - PollDueMs(4, i - 1, 500, 15000) == 30);
    }

    void pollsChecksTheTokenAndKeepsTheLastAnswer()
    {
        EndShutdown();
        LoopbackServer a(QHostAddress(QStringLiteral("127.0.0.2")));
        LoopbackServer b(QHostAddress(QStringLiteral("127.0.0.3")));
        LoopbackServer intruder(QHostAddress(QStringLiteral("127.0.0.2")));
        const int closedPort = LoopbackServer(QHostAddress(QStringLiteral("127.0.0.4"))).port();
        QVERIFY(a.port() && b.port() && intruder.port() && closedPort);
        const PolledServer closed{QStringLiteral("127.0.0.4"), closedPort};
        // Stand-ins that the budget need not ask for their engine first.
        for (const char* address : {"127.0.0.2", "127.0.0.3", "127.0.0.4"})
            RequestScheduler::instance().setRule(QHostAddress(QLatin1String(address)), BudgetRule::ForVersion(QStringLiteral("ioq3 1.36")));

        ServerPoller poller;
        QSignalSpy updates(&poller, &ServerPoller::updated);
        poller.setServers({polled(a), polled(b), polled(a), closed});
        QCOMPARE(poller.servers().size(), 3);  // the repeat dropped
        poller.setPeriodMs(3000);
        poller.start();

        // Each asked with a token of its own, letters and digits.
        QVERIFY(a.waitForDatagrams(1) && b.waitForDatagrams(1));
        const QByteArray tokenA = tokenOf(a.received().at(0).data), tokenB = tokenOf(b.received().at(0).data);
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-z]{6,}$")).match(QString::fromLatin1(tokenA)).hasMatch());
        QVERIFY(!tokenB.isEmpty() && tokenB != tokenA);

        // B answers with its token and two players, one a bot.
        b.reply(statusReply(tokenB, "^1Bee", "3 48 \"Ann\"\n0 0 \"Sarge\"\n"));
        // A answers with another token, and its token comes from another port of A's address.
        a.reply(statusReply("guess", "wrong token"));
        intruder.sendTo(statusReply(tokenA, "other port"), a.received().at(0).sender, a.received().at(0).senderPort);

        QTRY_VERIFY_WITH_TIMEOUT(poller.state(polled(b)).answering, 2000);
        PollState sb = poller.state(polled(b));
        QCOMPARE(sb.status.hostName(), QStringLiteral("^1Bee"));
        QCOMPARE(sb.status.humans(), 1);
        QCOMPARE(sb.status.bots(), 1);
        QVERIFY(sb.roundTripMs >= 0 && sb.roundTripMs < 2000);
        QVERIFY(sb.lastAnswer.isValid());
        QCOMPARE(sb.lastOutcome, ExchangeOutcome::Answered);
        const QDateTime answeredB = sb.lastAnswer;

        // A: nothing that counts within two seconds; the closed port: refused.
        QTRY_COMPARE_WITH_TIMEOUT(poller.state(polled(a)).polls, 1, 4000);
        QVERIFY(!poller.state(polled(a)).answering);
        QVERIFY(!poller.state(polled(a)).status.valid);
        QCOMPARE(poller.state(polled(a)).lastOutcome, ExchangeOutcome::NoAnswer);
        QTRY_COMPARE_WITH_TIMEOUT(poller.state(closed).polls, 1, 4000);
        QCOMPARE(poller.state(closed).lastOutcome, ExchangeOutcome::Refused);
        QVERIFY(std::any_of(updates.cbegin(), updates.cend(), [&](const QList<QVariant>& u) {
            return u.at(0).value<PolledServer>() == polled(b) && u.at(1).value<PollState>().answering;
        }));

        // Next round: A answers, B is silent and keeps what it said last, greyed by the window.
        QVERIFY(a.waitForDatagrams(2, 5000) && b.waitForDatagrams(2, 5000));
        QVERIFY(tokenOf(a.received().at(1).data) != tokenA);
        a.reply(statusReply(tokenOf(a.received().at(1).data), "Ay"));
        QTRY_VERIFY_WITH_TIMEOUT(poller.state(polled(a)).answering, 2000);
        QCOMPARE(poller.state(polled(a)).status.hostName(), QStringLiteral("Ay"));
        QTRY_COMPARE_WITH_TIMEOUT(poller.state(polled(b)).polls, 2, 8000);  // getstatus reads: three tries
        sb = poller.state(polled(b));
        QVERIFY(!sb.answering);
        QCOMPARE(sb.lastOutcome, ExchangeOutcome::NoAnswer);
        QCOMPARE(sb.status.hostName(), QStringLiteral("^1Bee"));
        QCOMPARE(sb.lastAnswer, answeredB);
        QVERIFY(sb.lastAnswer.isValid() && sb.roundTripMs >= 0);

        // Off the list: forgotten. Back on it: asked at once. Stopped: nothing more goes out.
        poller.setServers({polled(a)});
        QCOMPARE(poller.state(polled(b)).polls, 0);
        QVERIFY(!poller.polling(polled(b)));
        QCOMPARE(poller.state(polled(a)).status.hostName(), QStringLiteral("Ay"));
        poller.setServers({polled(a), polled(b)});
        QVERIFY(poller.polling(polled(b)));
        poller.stop();
        QCOMPARE(poller.pending(), 0);
        const int askedA = static_cast<int>(a.received().size()), askedB = static_cast<int>(b.received().size());
        QTest::qWait(3500);
        QCOMPARE(a.received().size(), askedA);
        QCOMPARE(b.received().size(), askedB);

        // Once the program has begun to close, start() polls nothing.
        BeginShutdown();
        poller.start();
        QVERIFY(!a.waitForDatagrams(askedA + 1, 500));
        EndShutdown();
    }
};

QTEST_GUILESS_MAIN(PollerTest)
#include "tst_poller.moc"
