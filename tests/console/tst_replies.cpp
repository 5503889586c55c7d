// Replies through a real socket on loopback: decoding, long replies in several datagrams,
// the addressed server alone, socket errors, the pane's length cap, Copy and Clear, and a
// flood that must not freeze the window.
#include "../log/ExchangeRig.h"
#include "TestEnv.h"

#include "console/RconDatagram.h"
#include "console/UdpClient.h"
#include "log/LogFile.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTextCursor>
#include <QtTest>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {
QByteArray header()
{
    return QByteArray("\xff\xff\xff\xff" "print\n", 10);
}

QString latin1(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes);
}
}

class RepliesTest : public QObject {
    Q_OBJECT
private slots:
    void decoding()
    {
        QCOMPARE(DecodeReply(header() + "line one\nline two\n"), QStringLiteral("line one\r\nline two\r\n"));
        // No LF at all: shown whole, header characters included.
        QCOMPARE(DecodeReply(QByteArray("\xff\xff\xff\xffprint", 9)), latin1(QByteArray("\xff\xff\xff\xffprint", 9)));
        // CR LF pairs go (the lines on either side join), a lone CR stays, the header's LF is
        // the first one even when a CR stands before it.
        QCOMPARE(DecodeReply("head\r\nab\r\ncd\re\nf"), QStringLiteral("abcd\re\r\nf"));
        QCOMPARE(DecodeReply(header() + "\r\r\n\n"), QStringLiteral("\r\r\n"));
        // Every byte from 0x80 to 0xFF is one character of the same code.
        QByteArray high;
        for (int b = 0x80; b <= 0xff; ++b)
            high += char(b);
        const QString decoded = DecodeReply(header() + high);
        QCOMPARE(decoded.size(), 128);
        for (int i = 0; i < decoded.size(); ++i)
            QCOMPARE(decoded.at(i).unicode(), ushort(0x80 + i));
        // NUL bytes are characters like any other.
        QCOMPARE(DecodeReply(header() + QByteArray("a\0b\n\0", 5)), latin1(QByteArray("a\0b\r\n\0", 6)));
        QCOMPARE(DecodeReply(QByteArray()), QString());
        QCOMPARE(DecodeReply(header()), QString());
        // The largest datagram UDP carries.
        QByteArray big = header();
        while (big.size() < 65507)
            big += (big.size() % 100 == 99) ? '\n' : char('a' + big.size() % 26);
        QCOMPARE(DecodeReply(big), latin1(big.mid(10)).replace(QLatin1String("\n"), QLatin1String("\r\n")));
    }

    // A long reply in several datagrams, a line cut between two, odd bytes, an empty datagram
    // and the largest one: all shown in arrival order, one log record for the reply. Only
    // the server that was addressed is heard: another port of the same host is ignored.
    void longReplyThroughTheSocket()
    {
        TestEnv env;
        Clock::setFixedTimeForTesting(QTime(9, 0, 1));
        LoopbackServer server;
        LoopbackServer stranger;
        frmMain w;
        w.ckLog->setValue(1);
        AimAt(w, server.port());
        SendCommand(w, QStringLiteral("cvarlist"));
        QVERIFY(server.waitForDatagrams(1));
        const quint16 clientPort = server.received().first().senderPort;
        stranger.sendTo(header() + "stranger\n", QHostAddress::LocalHost, clientPort);
        server.reply(header() + "first line\nsecond li");
        stranger.sendTo(header() + "stranger again\n", QHostAddress::LocalHost, clientPort);
        server.reply(header() + "ne\n\x80\xe9\xff\n");
        server.reply(QByteArray());
        server.reply(header() + QByteArray("nul\0here\n", 9));
        const QString reply = QStringLiteral("first line\r\nsecond line\r\n") + latin1("\x80\xe9\xff\r\n")
            + latin1(QByteArray("nul\0here\r\n", 10));
        const QString echo = Echo(QStringLiteral("cvarlist")) + QStringLiteral("\r\n");
        QTRY_COMPARE(w.txtOutput->text(), echo + reply);
        QCOMPARE(w.strReply, latin1(QByteArray("nul\0here\r\n", 10)));  // the latest datagram
        QCOMPARE(w.txtOutput->selStart(), w.txtOutput->text().size());
        QVERIFY(w.udpClient->isOpen());  // kept open for the rest of the reply
        QTRY_COMPARE(env.readLog(), (echo + reply + QStringLiteral("\r\n")).toLatin1());

        // The largest datagram: alone over the cap, so the pane is empty, caret at 0; the log
        // still gets it whole.
        SendCommand(w, QStringLiteral("status"));
        QVERIFY(server.waitForDatagrams(2));
        QByteArray big = header();
        while (big.size() < 65507)
            big += (big.size() % 80 == 79) ? '\n' : char(0x20 + big.size() % 90);
        server.reply(big);
        QTRY_VERIFY(w.strReply.size() > 65000);
        QCOMPARE(w.strReply, DecodeReply(big));
        QCOMPARE(w.txtOutput->text(), QString());
        QCOMPARE(w.txtOutput->selStart(), 0);
        QTRY_VERIFY(env.readLog().endsWith(DecodeReply(big).toLatin1() + "\r\n"));
    }

    // Nobody listens at the address and port: one error line with the system's words. Bound to
    // the server's port on this machine, the socket would be connected to itself and take its
    // own request, password and all, for the answer; it sends from another port instead.
    void portUnreachable()
    {
        TestEnv env;
        frmMain w;
        QSignalSpy arrivals(w.udpClient, &UdpClient::dataArrival);
        QSignalSpy errors(w.udpClient, &UdpClient::error);
        const quint16 port = static_cast<quint16>(FreeUdpPort());
        AimAt(w, port, QStringLiteral("secret-pw"));
        w.txtOutput->setText(QStringLiteral("before\r\n"));
        w.txtOutput->setSelStart(2);
        SendCommand(w, QStringLiteral("status"));
        QTRY_VERIFY(w.txtOutput->text().endsWith(QStringLiteral("Connection refused\r\n")));
        QTest::qWait(300);
        QCOMPARE(w.txtOutput->text(),
            QStringLiteral("before\r\n") + Echo(QStringLiteral("status")) + QStringLiteral("\r\nConnection refused\r\n"));
        QCOMPARE(w.txtOutput->selStart(), 2);  // neither the echo nor the error line moves it
        QCOMPARE(errors.size(), 1);
        QCOMPARE(errors.at(0).at(0).toInt(), ECONNREFUSED);
        QVERIFY(w.udpClient->boundLocalPort() != port);
        QCOMPARE(arrivals.size(), 0);
        // The same place again: the same one line for the second refusal.
        SendCommand(w, QStringLiteral("status"));
        QTRY_COMPARE(w.txtOutput->text().count(QStringLiteral("Connection refused\r\n")), 2);
    }

    // The pane never holds 32000 characters; what was appended last is kept unless it
    // alone reaches the cap.
    void lengthCap()
    {
        TestEnv env;
        LoopbackServer server;
        frmMain w;
        w.ckLog->setValue(1);
        AimAt(w, server.port());
        SendCommand(w, QStringLiteral("status"));
        QVERIFY(server.waitForDatagrams(1));
        const QString full(31990, QLatin1Char('x'));
        w.txtOutput->setText(full);
        QCOMPARE(w.txtOutput->text(), full);
        server.reply(header() + "twenty characters.\n");  // 18 + CR LF = 20
        QTRY_COMPARE(w.txtOutput->text(), QStringLiteral("twenty characters.\r\n"));
        QCOMPARE(w.txtOutput->selStart(), 20);

        w.txtOutput->setText(full);
        server.reply(header() + "seven..\n");  // 9 characters: 31999, kept whole
        QTRY_COMPARE(w.txtOutput->text().size(), 31999);
        QVERIFY(w.txtOutput->text().startsWith(full));
        QCOMPARE(w.txtOutput->selStart(), 31999);
        server.reply(header() + "x\n");  // any further append empties the old text
        QTRY_COMPARE(w.txtOutput->text(), QStringLiteral("x\r\n"));
        QCOMPARE(w.txtOutput->selStart(), 3);
        // Exactly 32000 counts as reaching the cap.
        w.txtOutput->setText(full);
        server.reply(header() + "eight...\n");  // 8 + CR LF = 10: 32000
        QTRY_COMPARE(w.txtOutput->text(), QStringLiteral("eight...\r\n"));

        // An echo or an error line over the cap: only that line stays.
        w.txtOutput->setText(QString(31999, QLatin1Char('y')));
        SendCommand(w, QStringLiteral("status"));
        QCOMPARE(w.txtOutput->text(), Echo(QStringLiteral("status")) + QStringLiteral("\r\n"));
        w.txtOutput->setText(QString(31999, QLatin1Char('y')));
        w.udpClient_Error(111, QStringLiteral("Connection refused"));
        QCOMPARE(w.txtOutput->text(), QStringLiteral("Connection refused\r\n"));
        // Text that alone reaches the cap leaves the pane empty.
        w.txtOutput->setText(QStringLiteral("a"));
        w.txtOutput->setText(QStringLiteral("a") + QString(32000, QLatin1Char('z')));
        QCOMPARE(w.txtOutput->text(), QString());
        // The log kept every reply, cap or not.
        QTRY_VERIFY(!w.replyOpen);
        QVERIFY(env.readLog().contains("twenty characters.\r\nseven..\r\nx\r\n"));
    }

    void copyAndClear()
    {
        TestEnv env;
        LoopbackServer server;
        frmMain w;
        w.ckLog->setValue(1);
        AimAt(w, server.port());
        SendCommand(w, QStringLiteral("status"));
        QVERIFY(server.waitForDatagrams(1));
        server.reply(header() + "alpha\nbeta\ngamma\n");
        const QString echo = Echo(QStringLiteral("status"));
        QTRY_COMPARE(w.txtOutput->text(), echo + QStringLiteral("\r\nalpha\r\nbeta\r\ngamma\r\n"));

        // Select "alpha" and "beta" with their line ends, as a user would with the mouse.
        QTextCursor c(w.txtOutput->document());
        c.setPosition(echo.size() + 1);
        c.setPosition(echo.size() + 1 + 11, QTextCursor::KeepAnchor);
        w.txtOutput->setTextCursor(c);
        QGuiApplication::clipboard()->setText(QStringLiteral("something else"));
        w.cmdCopy->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("alpha\r\nbeta\r\n"));
        w.txtOutput->setSelStart(3);
        w.cmdCopy->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString());

        QTRY_VERIFY(!w.replyOpen);
        const QByteArray log = env.readLog();
        QVERIFY(log.endsWith("gamma\r\n\r\n"));
        w.cmdClear->click();
        QCOMPARE(w.txtOutput->text(), QString());
        QCOMPARE(env.readLog(), log);  // Clear leaves the log alone
        // Clear, then a reply: only the reply.
        server.reply(header() + "after clear\n");
        QTRY_COMPARE(w.txtOutput->text(), QStringLiteral("after clear\r\n"));
    }

    // The addressed server floods the window; the window still answers a click, and the
    // pane and the log keep up: the pane ends on the last datagram, what it holds is the end
    // of the log's record, and the log holds the datagrams in the order they were sent.
    void floodDoesNotFreezeTheWindow()
    {
        TestEnv env;
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        QVERIFY(fd >= 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        QVERIFY(::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);

        std::atomic<bool> stop{false}, flooding{false}, endSeen{false};
        std::atomic<int> sent{0};
        std::thread flood([&] {
            char request[512];
            sockaddr_in client{};
            socklen_t clientLen = sizeof client;
            timeval tv{10, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
            if (::recvfrom(fd, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&client), &clientLen) <= 0)
                return;
            const auto send = [&](const QByteArray& d) {
                ::sendto(fd, d.constData(), d.size(), 0, reinterpret_cast<sockaddr*>(&client), clientLen);
            };
            flooding = true;
            // At most this many, so a window that does freeze still lets the test end.
            for (int i = 0; i < 2000000 && !stop; ++i, ++sent) {
                send(header() + QByteArray::number(i).rightJustified(8, '0') + '\n');
                if (i % 200 == 199)
                    ::usleep(1000);
            }
            flooding = false;
            // The end mark, until the window has shown it (the socket's buffer may be full).
            for (int i = 0; i < 400 && !endSeen; ++i, ::usleep(50000))
                send(header() + "END\n");
        });

        frmMain w;
        w.show();
        w.ckLog->setValue(1);
        AimAt(w, ntohs(addr.sin_port));
        SendCommand(w, QStringLiteral("status"));
        QTRY_VERIFY_WITH_TIMEOUT(w.txtOutput->text().count(QLatin1Char('\n')) > 50, 20000);

        bool clickedDuringFlood = false;
        int sentAtClick = 0;
        connect(w.cmdClear, &QPushButton::clicked, this, [&] {
            clickedDuringFlood = flooding;
            sentAtClick = sent;
        });
        // A user's click, queued behind the flood like any input.
        const QPointF centre = QRectF(w.cmdClear->rect()).center();
        for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
            QCoreApplication::postEvent(w.cmdClear, new QMouseEvent(type, centre, w.cmdClear->mapToGlobal(centre), Qt::LeftButton,
                type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier));
        QTRY_VERIFY_WITH_TIMEOUT(sentAtClick > 0, 60000);
        // Datagrams went on arriving after the click, and were shown.
        QTRY_VERIFY_WITH_TIMEOUT(sent > sentAtClick + 2000 || !flooding, 60000);
        stop = true;
        QTRY_VERIFY_WITH_TIMEOUT(w.txtOutput->text().endsWith(QStringLiteral("END\r\n")), 20000);
        endSeen = true;
        flood.join();
        ::close(fd);
        QVERIFY2(clickedDuringFlood, "the click was handled only after the flood");

        QTRY_VERIFY_WITH_TIMEOUT(!w.replyOpen, 10000);
        const QByteArray log = env.readLog();
        QVERIFY(log.endsWith("END\r\n\r\n"));
        const QByteArray record = log.left(log.size() - 2);
        QVERIFY(w.txtOutput->text().size() > 5);
        QVERIFY(record.endsWith(w.txtOutput->text().toLatin1()));
        const QList<QByteArray> lines = record.split('\n');
        int last = -1, numbers = 0;
        for (int i = 1; i < lines.size() - 1; ++i) {  // after the command record
            if (lines.at(i) == "END\r")
                continue;
            bool ok = false;
            const int n = lines.at(i).trimmed().toInt(&ok);
            QVERIFY2(ok && n > last, lines.at(i).constData());
            last = n;
            ++numbers;
        }
        QVERIFY(numbers > 100);
    }
};

QTEST_MAIN(RepliesTest)
#include "tst_replies.moc"
