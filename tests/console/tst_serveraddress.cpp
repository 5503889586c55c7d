#include "console/ServerAddress.h"

#include <QtTest>

class ServerAddressTest : public QObject {
    Q_OBJECT
private slots:
    void split_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("port");  // "bad": a port part that is not 1..65535
        QTest::newRow("name") << "quake.example" << "quake.example" << "";
        QTest::newRow("ipv4 port") << "203.0.113.7:27961" << "203.0.113.7" << "27961";
        QTest::newRow("name port") << "quake.example:1" << "quake.example" << "1";
        QTest::newRow("leading zeros") << "h:027960" << "h" << "27960";
        QTest::newRow("bare ipv6") << "2001:db8::7" << "2001:db8::7" << "";
        QTest::newRow("bare ipv6 loopback") << "::1" << "::1" << "";
        QTest::newRow("bracketed") << "[::1]" << "::1" << "";
        QTest::newRow("bracketed port") << "[2001:db8::7]:65535" << "2001:db8::7" << "65535";
        QTest::newRow("port 0") << "h:0" << "h" << "bad";
        QTest::newRow("port 65536") << "[::1]:65536" << "::1" << "bad";
        QTest::newRow("letters") << "h:abc" << "h" << "bad";
        QTest::newRow("empty port") << "h:" << "h" << "bad";
        QTest::newRow("spaced port") << "h: 27960" << "h" << "bad";
        QTest::newRow("signed port") << "h:+27960" << "h" << "bad";
        QTest::newRow("huge port") << "h:99999999999999999999" << "h" << "bad";
        QTest::newRow("stray open bracket") << "[::1" << "[::1" << "";
        QTest::newRow("stray close bracket") << "::1]:5" << "::1]:5" << "";
        QTest::newRow("text after bracket") << "[::1]x" << "[::1]x" << "";
        QTest::newRow("no host") << ":27960" << "" << "27960";
        QTest::newRow("inner space") << "a b:27960" << "a b" << "27960";
    }
    void split()
    {
        QFETCH(QString, text);
        QFETCH(QString, host);
        QFETCH(QString, port);
        const ServerAddress a = SplitServerAddress(text);
        QCOMPARE(a.host, host);
        QCOMPARE(a.badPort, port == QLatin1String("bad"));
        QCOMPARE(a.port, a.badPort ? QString() : port);
    }
};

QTEST_GUILESS_MAIN(ServerAddressTest)
#include "tst_serveraddress.moc"
