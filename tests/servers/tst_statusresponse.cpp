// The reader of a server's answer to "getstatus", on answers captured from a real OpenArena
// server (replies/: no players, a host name with colour codes, four bots), and on what no
// real server sends but anyone may: players with pings, odd names, unreadable lines.
#include "console/StatusResponse.h"

#include <QFile>
#include <QtTest>

namespace {
QByteArray captured(const QString& file)
{
    QFile f(qEnvironmentVariable("TELMORAX_SOURCE_DIR") + QStringLiteral("/tests/servers/replies/") + file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList players(const StatusResponse& r)
{
    QStringList out;
    for (const StatusPlayer& p : r.players)
        out << QStringLiteral("%1|%2|%3").arg(QString::number(p.score), QString::number(p.ping), p.name);
    return out;
}
}

class StatusResponseTest : public QObject {
    Q_OBJECT
private slots:
    void readsTheRealServersAnswers()
    {
        StatusResponse r = ReadStatusResponse(captured(QStringLiteral("oa-no-players.bin")));
        QVERIFY(r.valid);
        QCOMPARE(r.challenge(), QStringLiteral("empty1"));
        QCOMPARE(r.hostName(), QStringLiteral("noname"));
        QCOMPARE(r.map(), QStringLiteral("oa_dm1"));
        QCOMPARE(r.gameType(), QStringLiteral("0"));
        QCOMPARE(r.maxClients(), 8);
        QVERIFY(r.version().startsWith(QLatin1String("ioq3 1.36")));
        QCOMPARE(r.value(QStringLiteral("g_voteGametypes")), QStringLiteral("/0/1/3/4/5/6/7/8/9/10/11/12/"));
        QCOMPARE(r.value(QStringLiteral("g_timestamp")), QStringLiteral("2026-12-06 16:46:58"));  // the last pair
        QCOMPARE(r.info.size(), 44);
        QVERIFY(r.players.isEmpty());
        QCOMPARE(r.skipped, 0);
        QCOMPARE(r.humans() + r.bots(), 0);

        // sv_hostname set to "^1Red^7 and ^4Blue ^^3carets": the codes come as sent.
        r = ReadStatusResponse(captured(QStringLiteral("oa-colour-hostname.bin")));
        QVERIFY(r.valid);
        QCOMPARE(r.challenge(), QStringLiteral("colours42"));
        QCOMPARE(r.hostName(), QStringLiteral("^1Red^7 and ^4Blue ^^3carets"));
        QVERIFY(r.players.isEmpty());

        // Four bots added: ping 0 each, one with a frag already.
        r = ReadStatusResponse(captured(QStringLiteral("oa-bots.bin")));
        QVERIFY(r.valid);
        QCOMPARE(r.challenge(), QStringLiteral("bots1234"));
        QCOMPARE(players(r), QStringList({QStringLiteral("0|0|Sarge"), QStringLiteral("1|0|Major"),
                                 QStringLiteral("0|0|Angelyss"), QStringLiteral("0|0|Grism")}));
        QCOMPARE(r.bots(), 4);
        QCOMPARE(r.humans(), 0);
        QCOMPARE(r.skipped, 0);
    }

    void readsWhatAnyoneMaySend()
    {
        // Humans beside a bot, CR LF line ends, keys in other letter case, a repeated key,
        // the older keys "hostname" and "gametype", a name that reads as markup, a name with
        // spaces and quotes, and lines that do not read (left out and counted).
        const QByteArray reply = QByteArray("\xff\xff\xff\xff", 4)
            + "statusResponse\r\n\\Challenge\\77\\hostname\\Old ^2one\\gametype\\4\\SV_MAXCLIENTS\\ 16\\mapname\\a\\mapname\\b"
              "\\lonely\r\n"
              "3 48 \"<img src=/dev/zero>\"\r\n"
              "-2 0 \"^1Big \"Bad\" Wolf\"\n"
              "\n"
              "5 -1 \"negative ping\"\n"
              "5 x \"no number\"\n"
              "5 12 no quotes\n"
              "5 12 \"\"\n"
              "1 2 3 \"three numbers\"\n"
              "7 999 \"connecting\"";
        const StatusResponse r = ReadStatusResponse(reply);
        QVERIFY(r.valid);
        QCOMPARE(r.challenge(), QStringLiteral("77"));
        QCOMPARE(r.value(QStringLiteral("CHALLENGE")), QStringLiteral("77"));
        QCOMPARE(r.hostName(), QStringLiteral("Old ^2one"));
        QCOMPARE(r.gameType(), QStringLiteral("4"));
        QCOMPARE(r.maxClients(), 16);
        QCOMPARE(r.map(), QStringLiteral("b"));
        QVERIFY(r.info.contains(QStringLiteral("lonely")));
        QCOMPARE(r.value(QStringLiteral("absent")), QString());
        QCOMPARE(players(r), QStringList({QStringLiteral("3|48|<img src=/dev/zero>"), QStringLiteral("-2|0|^1Big \"Bad\" Wolf"),
                                 QStringLiteral("7|999|connecting")}));
        QCOMPARE(r.skipped, 5);
        QCOMPARE(r.humans(), 2);
        QCOMPARE(r.bots(), 1);

        // sv_hostname wins over hostname; a maximum that is no number is none.
        const StatusResponse both = ReadStatusResponse(
            QByteArray("\xff\xff\xff\xffstatusresponse\n\\hostname\\old\\sv_hostname\\new\\sv_maxclients\\lots"));
        QVERIFY(both.valid);
        QCOMPARE(both.hostName(), QStringLiteral("new"));
        QCOMPARE(both.maxClients(), 0);

        // Not a status answer: nothing read from it.
        for (const QByteArray& other : {QByteArray("\xff\xff\xff\xffprint\n\\challenge\\77\n1 2 \"x\"\n"),
                 QByteArray("statusResponse\n\\challenge\\77\n"), QByteArray("\xff\xff\xff\xffstatusResponse"),
                 QByteArray("\xff\xff\xff\xffinfoResponse\n\\challenge\\77\n"), QByteArray()}) {
            const StatusResponse none = ReadStatusResponse(other);
            QVERIFY2(!none.valid && none.info.isEmpty() && none.players.isEmpty(), other.constData());
        }

        QCOMPARE(BuildStatusRequest(QStringLiteral("4711abc")), QByteArray("\xff\xff\xff\xffgetstatus 4711abc"));
        QCOMPARE(BuildStatusRequest(QString()), QByteArray("\xff\xff\xff\xffgetstatus"));
    }
};

QTEST_GUILESS_MAIN(StatusResponseTest)
#include "tst_statusresponse.moc"
