// The readers of the map list ("fdir *.bsp"), the ban list ("listbans") and a variable's value
// ("nextmap"), on answers captured from a real OpenArena server (replies/*.bin: the datagrams
// of one answer back to back, as they came), on the same answers cut elsewhere, and on lines
// a hostile server might send instead.
#include "console/BanList.h"
#include "console/RconDatagram.h"
#include "maps/MapList.h"

#include <QFile>
#include <QtTest>

namespace {
const QByteArray Marker("\xff\xff\xff\xff", 4);

QByteArray capture(const QString& file)
{
    QFile f(qEnvironmentVariable("TELMORAX_SOURCE_DIR") + QStringLiteral("/tests/maps/replies/") + file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The answer's text as the program joins it: each datagram decoded, one after the other.
QString joined(const QByteArray& datagrams)
{
    QString text;
    for (const QByteArray& d : datagrams.split('\xff'))
        if (!d.isEmpty())
            text += DecodeReply(Marker + d);
    return text;
}

QString bans(const QList<BanEntry>& list)
{
    QStringList out;
    for (const BanEntry& e : list)
        out << QStringLiteral("%1 %2 %3").arg(e.kind == BanEntry::Ban ? QStringLiteral("ban") : QStringLiteral("except"),
                                             QString::number(e.number), e.target());
    return out.join(QStringLiteral(", "));
}
}

class ListsTest : public QObject {
    Q_OBJECT
private slots:
    void mapList()
    {
        const QByteArray raw = capture(QStringLiteral("fdir-oa.bin"));
        QCOMPARE(raw.count(Marker), 2);
        const MapList list = ReadMapList(joined(raw));
        QVERIFY(list.found);
        QCOMPARE(list.names.size(), 72);  // "72 files listed"
        QCOMPARE(list.names.first(), QStringLiteral("aggressor"));
        QCOMPARE(list.names.last(), QStringLiteral("wrackdm17"));
        QVERIFY(list.names.contains(QStringLiteral("oa_dm1")) && list.names.contains(QStringLiteral("pul1duel-oa")));

        // The same list cut into two datagrams at every place, inside names too, reads the same.
        const QByteArray text = raw.mid(10).replace(Marker + "print\n", "");
        for (int cut = 1; cut < text.size(); ++cut) {
            const QByteArray two = Marker + "print\n" + text.left(cut) + Marker + "print\n" + text.mid(cut);
            QCOMPARE(ReadMapList(joined(two)).names, list.names);
        }

        QVERIFY(!ReadMapList(QStringLiteral("Bad rconpassword.\n")).found);
        QCOMPARE(ReadMapList(joined(capture(QStringLiteral("fdir-none.bin")))).names, QStringList());
        QVERIFY(ReadMapList(joined(capture(QStringLiteral("fdir-none.bin")))).found);
        // Game log lines, names that could not stay one word, and a list before the dashes are left out.
        const MapList odd = ReadMapList(QStringLiteral("maps/before.bsp\r\n-----\r\nmaps/Zeta.bsp\r\nBroadcast: hi\r\n"
                                                       "maps/x\";quit.bsp\nmaps/a b.bsp\nmaps/sub/c.bsp\nmaps/^1red.bsp\n"
                                                       "maps/alpha.BSP\nmaps/alpha.bsp\nmaps/.bsp\n"));
        QCOMPARE(odd.names, QStringList({QStringLiteral("alpha"), QStringLiteral("Zeta")}));

        QCOMPARE(ChangeMapCommand(QStringLiteral("oa_dm1")), QStringLiteral("map \"oa_dm1\""));
        for (const char* bad : {"", "a;quit", "a\"b", "a b", "$x", "a/b", "a\nb"})
            QVERIFY2(ChangeMapCommand(QString::fromLatin1(bad)).isEmpty(), bad);

        // Kept in the user's folder: the list comes back, a file of anything else gives nothing.
        QCOMPARE(ReadMapFile(WriteMapFile(list.names)), list.names);
        QCOMPARE(ReadMapFile("telmorax maps 1\nok\nmaps/x\";quit\n"), QStringList({QStringLiteral("ok")}));
        QVERIFY(ReadMapFile("oa_dm1\n").isEmpty());
        QCOMPARE(MapFileName(QStringLiteral("Quake.Example.org"), 27960), QStringLiteral("maps-quake.example.org-27960.txt"));
        QCOMPARE(MapFileName(QStringLiteral("../x:y/z"), 1), QStringLiteral("maps-..%2Fx%3Ay%2Fz-1.txt"));
        QVERIFY(MapFileName(QString(300, QLatin1Char('a')), 1).size() < 100);
    }

    void variableValue()
    {
        QCOMPARE(ReadVariableValue(joined(capture(QStringLiteral("nextmap.bin"))), QStringLiteral("nextmap")).value,
            QStringLiteral("map_restart 0"));
        const VariableValue type = ReadVariableValue(joined(capture(QStringLiteral("g_gametype.bin"))), QStringLiteral("g_gametype"));
        QVERIFY(type.found);
        QCOMPARE(type.value, QStringLiteral("0"));
        QCOMPARE(GameTypeText(type.value), QStringLiteral("Free For All (0)"));
        QCOMPARE(GameTypeText(QStringLiteral("12")), QStringLiteral("12"));

        const VariableValue empty = ReadVariableValue(QStringLiteral("\"nextmap\" is:\"^7\" default:\"^7\"\n"), QStringLiteral("nextmap"));
        QVERIFY(empty.found && empty.value.isEmpty());
        QCOMPARE(ReadVariableValue(QStringLiteral("log line\n\"NextMap\" is:\"vstr \"d2\"^7\" default:\"^7\"\n"), QStringLiteral("nextmap")).value,
            QStringLiteral("vstr \"d2\""));
        QVERIFY(!ReadVariableValue(QStringLiteral("\"nextmapx\" is:\"a^7\"\n"), QStringLiteral("nextmap")).found);
        QVERIFY(!ReadVariableValue(QStringLiteral("Bad rconpassword.\n"), QStringLiteral("nextmap")).found);
    }

    void banList()
    {
        QCOMPARE(bans(ReadBanList(joined(capture(QStringLiteral("listbans.bin"))))),
            QStringLiteral("ban 1 203.0.113.0/24, ban 2 198.51.100.7/32, except 1 203.0.113.9/32"));
        QVERIFY(ReadBanList(joined(capture(QStringLiteral("listbans-empty.bin")))).isEmpty());
        QCOMPARE(bans(ReadBanList(QStringLiteral("Ban #1: 2001:db8::/32\r\nBroadcast: Ban #2: 192.0.2.1/32\nBan #3: 300.1.1.1/24\n"
                                                 "Ban #4: 192.0.2.1/33\nBan #0: 192.0.2.1/32\nExcept #2: ::1/129\nBan #5: host/32\n"
                                                 "Except #7: 192.0.2.9/32"))),
            QStringLiteral("ban 1 2001:db8::/32, except 7 192.0.2.9/32"));

        const QList<BanEntry> list = ReadBanList(joined(capture(QStringLiteral("listbans.bin"))));
        QCOMPARE(RemoveCommand(list.at(0)), QStringLiteral("bandel 203.0.113.0/24"));
        QCOMPARE(RemoveCommand(list.at(2)), QStringLiteral("exceptdel 203.0.113.9/32"));
        BanEntry moved = list.at(1);
        moved.number = 1;
        QVERIFY(moved.sameAs(list.at(1)) && !moved.sameAs(list.at(0)) && !list.at(0).sameAs(list.at(2)));
        moved.address = QStringLiteral("198.51.100.7;quit");
        QVERIFY(RemoveCommand(moved).isEmpty());

        // What the admin may type: an address of either family, a prefix within its length.
        const QList<QPair<const char*, const char*>> typed = {
            {" 203.0.113.0/24 ", "203.0.113.0/24"}, {"198.51.100.7", "198.51.100.7"}, {"2001:DB8::/32", "2001:db8::/32"},
            {"::1/128", "::1/128"}, {"10.0.0.0/0", "10.0.0.0/0"},
            {"203.0.113.0/33", ""}, {"::1/129", ""}, {"300.1.1.1", ""}, {"1.2.3", ""}, {"1", ""}, {"example.org", ""},
            {"fe80::1%eth0", ""}, {"1.2.3.4/", ""}, {"1.2.3.4/24;quit", ""}, {"1.2.3.4 5.6.7.8", ""}, {"", ""}};
        for (const auto& [in, out] : typed) {
            QCOMPARE(CheckBanAddress(QString::fromLatin1(in)), QString::fromLatin1(out));
            QCOMPARE(AddCommand(BanEntry::Exception, QString::fromLatin1(in)),
                *out ? QStringLiteral("exceptaddr ") + QString::fromLatin1(out) : QString());
        }
        QCOMPARE(AddCommand(BanEntry::Ban, QStringLiteral("203.0.113.0/24")), QStringLiteral("banaddr 203.0.113.0/24"));
    }
};

QTEST_MAIN(ListsTest)
#include "tst_lists.moc"
