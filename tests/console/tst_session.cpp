// The console session without a window, against a real Quake 3 engine server on loopback:
// what it says to show for a long reply, a refused password, a bound window's action, the
// timed query, and requests that cannot arrive; names resolve in the order asked.
#include "OpenArenaServer.h"
#include "TestEnv.h"

#include "console/ConsoleSession.h"
#include "console/RconDatagram.h"
#include "console/TimeOfDay.h"

#include <QSignalSpy>
#include <QTest>

class SessionTest : public QObject {
    Q_OBJECT
signals:
    void action(const QString& host, int port, const QString& password, const QString& command);

private slots:
    void talksToARealServer()
    {
        TestEnv env;
        OpenArenaServer server(QStringLiteral("s3cret-pw"));
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        ConsoleSession session;
        session.setLogging(true);
        QString pane;  // what a window would show
        connect(&session, &ConsoleSession::line, this, [&pane](const QString& text) { pane += text; });
        QList<bool> continues;
        connect(&session, &ConsoleSession::replyText, this, [&](const QString& text, bool goesOn) { pane += text; continues << goesOn; });
        QSignalSpy answered(&session, &ConsoleSession::passwordAnswered);
        const QString echo = TimeOfDay() + QStringLiteral(" : ");

        // cvarlist: about ten datagrams, shown once the answer is over in one piece, the same
        // text as the server's; each datagram still reaches those who read them one by one.
        QSignalSpy datagrams(&session, &ConsoleSession::datagramArrived);
        session.send(QStringLiteral("127.0.0.1"), server.port(), server.password(), QStringLiteral("cvarlist"));
        QCOMPARE(pane, echo + QStringLiteral("cvarlist\r\n"));
        QTRY_VERIFY_WITH_TIMEOUT(pane.contains(QStringLiteral(" total cvars\r\n")), 15000);
        QTRY_VERIFY(!session.replyOpen());
        QCOMPARE(continues, QList<bool>({false}));
        QVERIFY(datagrams.size() > 3);
        QCOMPARE(answered.size(), 1);
        QCOMPARE(answered[0][0].toString(), server.password());
        QCOMPARE(answered[0][1].toString(), DecodeReply(datagrams[0][1].toByteArray()));
        QCOMPARE(pane.count(QStringLiteral("\r\n")), DecodeReply("print\n" + server.rcon(QStringLiteral("cvarlist"))).count(QStringLiteral("\r\n")) + 1);
        QVERIFY(env.readLog().contains("cvarlist\r\n") && env.readLog().endsWith(pane.right(200).toLatin1() + "\r\n"));

        // A refused password: the server's own words, the password that was refused.
        QTest::qWait(1100);
        pane.clear();
        session.send(QStringLiteral("127.0.0.1"), server.port(), QStringLiteral("wrong"), QStringLiteral("status"));
        QTRY_COMPARE(pane, echo + QStringLiteral("status\r\nBad rconpassword.\r\n"));
        QCOMPARE(answered.last()[0].toString() + answered.last()[1].toString(), QStringLiteral("wrongBad rconpassword.\r\n"));

        // A bound window's action while the boxes name another server: the echo says where it
        // went, and the answer goes to that window as well.
        session.setShownServer([] { return MainWindowBoxes{QStringLiteral("quake.example"), QStringLiteral("27960"), QString()}; });
        connect(this, &SessionTest::action, &session, &ConsoleSession::sendTo);
        QSignalSpy toWindow(&session, &ConsoleSession::actionAnswered);
        pane.clear();
        emit action(QStringLiteral("127.0.0.1"), server.port(), server.password(), QStringLiteral("echo hello"));
        QCOMPARE(pane, echo + QStringLiteral("echo hello   (sent to 127.0.0.1:%1)\r\n").arg(server.port()));
        QTRY_COMPARE(toWindow.size(), 1);
        QCOMPARE(toWindow[0][0].value<QObject*>(), this);
        QCOMPARE(toWindow[0][1].toString(), QStringLiteral("hello\r\n"));

        // The timed query shows when it goes out; its answer follows.
        pane.clear();
        session.queryStatus(QStringLiteral("127.0.0.1"), server.port(), server.password(), 60000);
        QTRY_VERIFY(pane.startsWith(echo + QStringLiteral("[auto] status\r\n")) && pane.contains(QStringLiteral("map: ")));

        // Nobody there, a name that does not resolve: the system's words; the request after
        // them still goes, after "localhost" was looked up and its request went.
        QSignalSpy errors(&session, &ConsoleSession::socketError);
        QSignalSpy sent(&session, &ConsoleSession::requestSent);
        const quint64 first = session.send(QStringLiteral("localhost"), FreeUdpPort(), server.password(), QStringLiteral("status"));
        session.send(QStringLiteral("no..such..host"), server.port(), server.password(), QStringLiteral("status"));
        const quint64 last = session.send(QStringLiteral("127.0.0.1"), server.port(), server.password(), QStringLiteral("echo last"));
        QTRY_COMPARE(errors.size(), 2);
        QVERIFY(errors[0][0].toString() == QStringLiteral("Connection refused") || errors[1][0].toString() == QStringLiteral("Connection refused"));
        QCOMPARE(sent.size(), 2);
        QCOMPARE(sent[0][0].toULongLong() * 10 + sent[1][0].toULongLong(), first * 10 + last);
        QVERIFY(server.waitForOutput(QStringLiteral("Rcon from 127.0.0.1: echo last")));
    }
};

QTEST_MAIN(SessionTest)
#include "tst_session.moc"
