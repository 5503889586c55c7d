#include "console/RconDatagram.h"

#include <QtTest>

class DatagramTest : public QObject {
    Q_OBJECT
private slots:
    void requestBytes()
    {
        // The 22-byte example: six-character password, command "status", nothing after.
        const QByteArray d = BuildRequest(QStringLiteral("abc123"), QStringLiteral("status"));
        QCOMPARE(d, QByteArray("\xff\xff\xff\xff" "rcon abc123 status", 22));

        // Inner spaces of a command travel unchanged.
        QCOMPARE(BuildRequest(QStringLiteral("pw"), QStringLiteral("map  oa_dm1")),
            QByteArray("\xff\xff\xff\xff" "rcon pw map  oa_dm1", 23));
        // An empty password leaves two spaces in a row.
        QCOMPARE(BuildRequest(QString(), QStringLiteral("status")), QByteArray("\xff\xff\xff\xff" "rcon  status", 16));
        // Latin-1 characters are one byte each.
        QCOMPARE(BuildRequest(QStringLiteral("p\u00e9"), QStringLiteral("say \u00fc")).mid(9),
            QByteArray("p\xe9 say \xfc"));
    }
};

QTEST_GUILESS_MAIN(DatagramTest)
#include "tst_datagram.moc"
