// The status table reader on answers of a real OpenArena server with bots (replies/oa-16-*,
// bad-password), and on rows that bots never make, written in the server's own layout:
// OpenArena's with connecting, dropped, IPv6 and local clients and unreadable rows
// (oa-clients), and classic Quake 3's (q3-classic). Each file holds the datagrams of one
// answer back to back, as they came.
#include "players/PlayerCommands.h"
#include "players/StatusTable.h"

#include <QFile>
#include <QtTest>

namespace {
QList<QByteArray> datagrams(const QString& file)
{
    QFile f(qEnvironmentVariable("TELMORAX_SOURCE_DIR") + QStringLiteral("/tests/players/replies/") + file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> out = f.readAll().split('\xff');
    out.removeAll(QByteArray());  // each datagram starts with four FF bytes
    return out;
}

StatusTable read(const QString& file)
{
    return ReadStatusTable(StatusReplyText(datagrams(file)));
}

QStringList rows(const StatusTable& t)
{
    QStringList out;
    for (const PlayerRow& p : t.rows)
        out << QStringLiteral("%1|%2|%3|%4|%5|%6|%7|%8").arg(p.client).arg(p.score).arg(p.pingText, p.name, p.address)
                   .arg(p.rate).arg(p.lastMsg).arg(p.qport);
    return out;
}
}

class StatusTableTest : public QObject {
    Q_OBJECT
private slots:
    void readsTheTableFromItsHeader()
    {
        // Sixteen bots in two datagrams, the row of client 10 cut between them; two pairs
        // of bots share a name; names with spaces and colour codes keep their codes.
        QCOMPARE(datagrams(QStringLiteral("oa-16-bots-two-datagrams.bin")).size(), 2);
        StatusTable t = read(QStringLiteral("oa-16-bots-two-datagrams.bin"));
        QVERIFY(t.found);
        QCOMPARE(t.map, QStringLiteral("oa_dm1"));
        QCOMPARE(t.columns.join(QLatin1Char(' ')), QStringLiteral("cl score ping name address rate"));
        QCOMPARE(t.rows.size(), 16);
        QCOMPARE(t.skipped, 0);
        for (int i = 0; i < 16; ++i)
            QCOMPARE(t.rows.at(i).client, i);
        QCOMPARE(rows(t).mid(3, 2), QStringList({QStringLiteral("3|12|0|^1Big ^3Bad Wolf|bot|16384|-1|-1"),
                                        QStringLiteral("4|12|0|Mr. ^5Blue^7 Sky|bot|16384|-1|-1")}));
        QCOMPARE(rows(t).at(10), QStringLiteral("10|2|0|Ayumi|bot|16384|-1|-1"));

        t = read(QStringLiteral("oa-clients.bin"));
        QCOMPARE(rows(t), QStringList({QStringLiteral("0|3|0|Sarge|bot|16384|-1|-1"),
                              QStringLiteral("1|0|CNCT|UnnamedPlayer|192.0.2.44:27960|25000|-1|-1"),
                              QStringLiteral("2|-2|ZMBI|^2Green ^7Giant|198.51.100.7:52011|8000|-1|-1"),
                              QStringLiteral("3|12|37|Mr. ^5Blue^7 Sky|[2001:db8::5]:27960|25000|-1|-1"),
                              QStringLiteral("4|0|999|Host|loopback|90000|-1|-1")}));
        QCOMPARE(t.rows.at(1).ping, -1);
        QCOMPARE(t.rows.at(3).ping, 37);
        QCOMPARE(t.skipped, 4);  // client 64, a ping "xx", no name, a row cut short

        t = read(QStringLiteral("q3-classic.bin"));
        QCOMPARE(t.map, QStringLiteral("q3dm17"));
        QCOMPARE(t.columns.join(QLatin1Char(' ')), QStringLiteral("num score ping name lastmsg address qport rate"));
        QCOMPARE(rows(t), QStringList({QStringLiteral("0|5|48|^1Big ^3Bad Wolf|192.0.2.44:27960|25000|50|31337"),
                              QStringLiteral("1|0|CNCT|Sarge|198.51.100.9:27960|5000|0|4096"),
                              QStringLiteral("2|-1|ZMBI|Major|203.0.113.5:27961|25000|1450|1234"),
                              QStringLiteral("3|0|0|Anarki|bot|16384|0|0")}));

        // No header, no table: the server's refusal, or the first datagram of a table alone.
        t = read(QStringLiteral("bad-password.bin"));
        QVERIFY(!t.found);
        QVERIFY(t.rows.isEmpty());
        t = ReadStatusTable(StatusReplyText({datagrams(QStringLiteral("oa-16-bots-two-datagrams.bin")).first()}));
        QCOMPARE(t.rows.size(), 10);  // the cut row is not guessed
        QCOMPARE(t.skipped, 1);
    }

    void buildsCommandsAboutAPlayer()
    {
        QCOMPARE(KickCommand(7), QStringLiteral("clientkick 7"));
        QCOMPARE(BanCommand(AddressIp(QStringLiteral("192.0.2.44:27960"))), QStringLiteral("banaddr 192.0.2.44"));
        QCOMPARE(AddressIp(QStringLiteral("[2001:db8::5]:27960")), QStringLiteral("2001:db8::5"));
        QCOMPARE(AddressIp(QStringLiteral("198.51.100.7")), QStringLiteral("198.51.100.7"));
        for (const char* none : {"bot", "loopback", "localhost:27960", ""})
            QCOMPARE(AddressIp(QLatin1String(none)), QString());
        // The text goes inside quotes: ";" and "//" stay text, a quote cannot, nor a line end.
        QCOMPARE(TellCommand(3, QStringLiteral(" gg; \"wp\" // see\nyou ")), QStringLiteral("tell 3 \"gg; 'wp' // see you\""));
        QCOMPARE(TellCommand(3, QStringLiteral(" \t\n")), QString());
    }
};

QTEST_MAIN(StatusTableTest)
#include "tst_statustable.moc"
