// The memory against stand-in servers whose answers change between reads, through the real
// exchange unit and a real database file in a temporary folder: sessions opened, extended and
// ended, names joined through an address, searches by fragment, address and prefix, the
// journal and the bans; and a damaged file, a FIFO or a link in the file's place.
#include "ScriptedServer.h"
#include "TestEnv.h"

#include "console/ExchangeObserver.h"
#include "console/ServerExchange.h"
#include "memory/MemoryDatabase.h"
#include "memory/Queries.h"
#include "memory/Recorder.h"
#include "settings/UserDataFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

#include <sys/stat.h>

namespace {
QByteArray status(const QList<QStringList>& rows)
{
    return ScriptedServer::StatusAnswer(rows);
}

ExchangeOutcome::Kind ask(quint16 port, const QString& command, bool outOfBand = false,
    ExchangeRequest::Priority priority = ExchangeRequest::Priority::Typed, const QString& password = QStringLiteral("pw"))
{
    ExchangeRequest r;
    r.host = QStringLiteral("127.0.0.1");
    r.port = port;
    r.password = password;
    r.command = command;
    r.outOfBand = outOfBand;
    r.priority = priority;
    r.firstDatagramMs = 500;
    r.quietMs = 100;
    QSignalSpy done(ServerExchange::ask(r), &ServerExchange::finished);
    // Command-line runs started by the test spend the same server's allowance: a turn may wait.
    if (!done.wait(20000))
        return ExchangeOutcome::Cancelled;
    Recorder::Flush();
    return done.first().first().value<ExchangeOutcome>().kind;
}

// The program itself, without a display, in this test's folders, with the server's password.
struct Run {
    int status = -1;
    QString out, err;
};
QProcess* start(const QStringList& arguments)
{
    auto* p = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.insert(QStringLiteral("TELMORAX_PASSWORD"), QStringLiteral("pw"));
    p->setProcessEnvironment(env);
    p->start(QCoreApplication::applicationDirPath() + QStringLiteral("/telmorax"), arguments);
    return p;
}
Run finish(QProcess* p)
{
    Run r;
    // The test's own event loop goes on meanwhile: the stand-in server answers from it.
    QDeadlineTimer deadline(60000);
    while (p->state() != QProcess::NotRunning && !deadline.hasExpired())
        QTest::qWait(20);
    r = {p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1, QString::fromUtf8(p->readAllStandardOutput()),
        QString::fromUtf8(p->readAllStandardError())};
    delete p;
    return r;
}
Run run(const QStringList& arguments)
{
    return finish(start(arguments));
}

QStringList names(const QList<Memory::PlayerFound>& found)
{
    QStringList out;
    for (const Memory::PlayerFound& p : found)
        out << p.name;
    return out;
}
}

class MemoryTest : public QObject {
    Q_OBJECT
private slots:
    void remembersPlayersSessionsAndActions()
    {
        TestEnv env;
        QStringList told;
        Recorder::Start([&](const QString& line) { told << line; });
        QVERIFY(Recorder::IsRecording());
        QCOMPARE(FileMode(Memory::Path()), 0600);
        const QString longName = QString(1000, QLatin1Char('w'));

        ScriptedServer a;
        const QString serverA = Memory::ServerKey(QStringLiteral("127.0.0.1"), a.port());
        a.answer(QStringLiteral("status"), {
            status({{"0", "48", "^1Ali^7ce", "203.0.113.5:27960"}, {"1", "50", "Bob", "203.0.113.7:27960"},
                {"2", "0", "Sarge", "bot"}, {"3", "CNCT", "<b>x</b>", "198.51.100.2:27960"}, {"4", "60", "%1", "[2001:db8::5]:27960"}}),
            status({{"0", "48", "^1Ali^7ce", "203.0.113.5:27960"}, {"1", "50", "Bobby", "203.0.113.7:27960"}}),
            status({{"1", "50", "Bobby", "203.0.113.7:27960"}}),
        });
        QCOMPARE(ask(a.port(), QStringLiteral("status"), false, ExchangeRequest::Priority::Automatic), ExchangeOutcome::Answered);
        Memory::SetClockOffsetForTests(60000);
        QCOMPARE(ask(a.port(), QStringLiteral("status")), ExchangeOutcome::Answered);  // Bob renamed himself
        Memory::SetClockOffsetForTests(120000);
        QCOMPARE(ask(a.port(), QStringLiteral("status")), ExchangeOutcome::Answered);  // Alice left

        // Found by a fragment, colour codes and case ignored; kept as sent; bots never.
        const QList<Memory::PlayerFound> alice = Memory::Find(QStringLiteral("ALIC"));
        QCOMPARE(names(alice), QStringList{QStringLiteral("^1Ali^7ce")});
        QCOMPARE(alice[0].addresses, QStringList{QStringLiteral("203.0.113.5")});
        QCOMPARE(alice[0].servers, QStringList{serverA});
        QCOMPARE(alice[0].sessions, 1);
        QVERIFY2(alice[0].playedMs >= 60000 && alice[0].playedMs < 61000 + 60000, qPrintable(QString::number(alice[0].playedMs)));
        QVERIFY(Memory::Find(QStringLiteral("sarge")).isEmpty());
        const QList<Memory::Session> aliceSessions = Memory::SessionsOf(alice[0].nameId);
        QCOMPARE(aliceSessions.size(), 1);
        QVERIFY(!aliceSessions[0].open);  // missing from the third answer
        QCOMPARE(aliceSessions[0].client, 0);
        // Hostile names stored and given back literally.
        QCOMPARE(names(Memory::Find(QStringLiteral("<b>x"))), QStringList{QStringLiteral("<b>x</b>")});
        QCOMPARE(names(Memory::Find(QStringLiteral("%1"))), QStringList{QStringLiteral("%1")});

        // One address, two names: the sessions part at the rename, the aliases join them.
        const QList<Memory::PlayerFound> atSeven = Memory::Find(QStringLiteral("203.0.113.7"));
        QCOMPARE(names(atSeven), QStringList({QStringLiteral("Bobby"), QStringLiteral("Bob")}));
        const QList<Memory::Session> bob = Memory::SessionsOf(atSeven[1].nameId);
        QVERIFY(bob.size() == 1 && !bob[0].open && bob[0].address == QLatin1String("203.0.113.7"));
        const QList<Memory::Session> bobby = Memory::SessionsOf(atSeven[0].nameId);
        QVERIFY(bobby.size() == 1 && bobby[0].open && bobby[0].lastSeen - bobby[0].firstSeen >= 60000);
        QStringList aliases;
        for (const Memory::Alias& x : Memory::AliasesOf(atSeven[1].nameId))
            aliases << x.name + QLatin1Char('@') + x.address;
        QCOMPARE(aliases, QStringList({QStringLiteral("Bobby@203.0.113.7"), QStringLiteral("Bob@203.0.113.7")}));

        // Prefixes: a /24 and the same written with a dot; an IPv6 /64.
        const QStringList inRange = {QStringLiteral("Bobby"), QStringLiteral("^1Ali^7ce"), QStringLiteral("Bob")};
        QCOMPARE(names(Memory::Find(QStringLiteral("203.0.113.0/24"))), inRange);
        QCOMPARE(names(Memory::Find(QStringLiteral("203.0.113."))), inRange);
        QCOMPARE(names(Memory::Find(QStringLiteral("203.0.112.0/24"))), QStringList());
        QCOMPARE(names(Memory::Find(QStringLiteral("2001:db8:0:0::/64"))), QStringList{QStringLiteral("%1")});
        QCOMPARE(Memory::SessionsOn(serverA, 0, Memory::Now()).size(), 5);
        QCOMPARE(Memory::SessionsOn(serverA, Memory::Now() - 30000, Memory::Now()).size(), 1);  // Bobby alone stayed

        // Out-of-band status: names only; ping 0 is a bot; a player gone ends the session.
        ScriptedServer b;
        const QString longLine = QStringLiteral("0 40 \"%1\"\n").arg(longName);
        b.answer(QStringLiteral("getstatus"), {"3 50 \"Carol\"\n0 0 \"Major\"\n" + longLine.toLatin1(), "3 50 \"Carol\"\n"});
        QCOMPARE(ask(b.port(), QStringLiteral("getstatus 123"), true, ExchangeRequest::Priority::Automatic), ExchangeOutcome::Answered);
        Memory::SetClockOffsetForTests(180000);
        QCOMPARE(ask(b.port(), QStringLiteral("getstatus 124"), true, ExchangeRequest::Priority::Automatic), ExchangeOutcome::Answered);
        const QList<Memory::PlayerFound> carol = Memory::Find(QStringLiteral("carol"));
        QVERIFY(carol.size() == 1 && carol[0].addresses.isEmpty() && carol[0].sessions == 1);
        QVERIFY(Memory::SessionsOf(carol[0].nameId)[0].open);
        const QList<Memory::PlayerFound> longOne = Memory::Find(longName.left(30));
        QVERIFY(longOne.size() == 1 && longOne[0].name == longName);
        QVERIFY(!Memory::SessionsOf(longOne[0].nameId)[0].open);
        QVERIFY(Memory::Find(QStringLiteral("major")).isEmpty());

        // The journal: commands sent on the admin's behalf, passwords masked; automatic reads not.
        a.answer(QStringLiteral("say hi"), {"console: hi\n"});
        a.answer(QStringLiteral("rconpassword n3w"), {"\n"});
        a.answer(QStringLiteral("banaddr 203.0.113.7"), {"Added ban: 203.0.113.7/32\n"});
        a.answer(QStringLiteral("bandel 203.0.113.7/32"), {"Deleting ban 203.0.113.7/32\n"});
        const qint64 since = Memory::Now();
        QCOMPARE(ask(a.port(), QStringLiteral("say hi")), ExchangeOutcome::Answered);
        QCOMPARE(ask(a.port(), QStringLiteral("rconpassword n3w")), ExchangeOutcome::Answered);
        QCOMPARE(ask(a.port(), QStringLiteral("say hi"), false, ExchangeRequest::Priority::Typed, QStringLiteral("wrong")), ExchangeOutcome::BadPassword);
        QCOMPARE(ask(a.port(), QStringLiteral("unanswered")), ExchangeOutcome::NoAnswer);
        QCOMPARE(ask(a.port(), QStringLiteral("status"), false, ExchangeRequest::Priority::Automatic), ExchangeOutcome::Answered);
        JournalNote note;
        note.name = QStringLiteral("Bobby");
        note.address = QStringLiteral("203.0.113.7");
        note.reason = QStringLiteral("wallhack \"%1\"");
        note.expiresAt = since + 3600000;
        ExpectNote(QStringLiteral("127.0.0.1"), a.port(), QStringLiteral("banaddr 203.0.113.7"), note);
        QCOMPARE(ask(a.port(), QStringLiteral("banaddr 203.0.113.7")), ExchangeOutcome::Answered);
        QList<Memory::Ban> bans = Memory::BansOn(serverA);
        QCOMPARE(bans.size(), 1);
        QCOMPARE(bans[0].target, QStringLiteral("203.0.113.7/32"));
        QCOMPARE(bans[0].reason, note.reason);
        QCOMPARE(bans[0].expires, note.expiresAt);
        QCOMPARE(bans[0].admin, Memory::AdminName());
        QCOMPARE(Memory::NextExpiry(), note.expiresAt);
        QVERIFY(Memory::DueBans(since).isEmpty());
        QCOMPARE(Memory::DueBans(note.expiresAt).size(), 1);
        QCOMPARE(ask(a.port(), QStringLiteral("bandel 203.0.113.7/32")), ExchangeOutcome::Answered);
        bans = Memory::BansOn(serverA);
        QVERIFY(bans.size() == 1 && bans[0].lifted > 0 && bans[0].liftedHow == QLatin1String("removed"));
        QVERIFY(Memory::DueBans(note.expiresAt).isEmpty());

        QStringList journal;
        for (const Memory::JournalEntry& e : Memory::Journal(since))
            journal << QStringList({e.server, e.command, e.outcome, e.admin, e.targetName, e.reason}).join(QLatin1Char('|'));
        const QString admin = Memory::AdminName();
        QCOMPARE(journal, QStringList({
            QStringList({serverA, "say hi", "answered", admin, "", ""}).join(QLatin1Char('|')),
            QStringList({serverA, "rconpassword ********", "answered", admin, "", ""}).join(QLatin1Char('|')),
            QStringList({serverA, "say hi", "bad password", admin, "", ""}).join(QLatin1Char('|')),
            QStringList({serverA, "unanswered", "no answer", admin, "", ""}).join(QLatin1Char('|')),
            QStringList({serverA, "banaddr 203.0.113.7", "answered", admin, "Bobby", note.reason}).join(QLatin1Char('|')),
            QStringList({serverA, "bandel 203.0.113.7/32", "answered", admin, "", ""}).join(QLatin1Char('|')),
        }));
        QCOMPARE(Memory::JournalAbout(atSeven[0].nameId).size(), 2);  // the ban by name, the lifting by address
        QVERIFY2(told.isEmpty(), qPrintable(told.join(QLatin1Char('\n'))));

        // Kept sightings: a restart past the keeping time removes ended sessions, keeps the journal.
        Recorder::Stop();
        Memory::Forget();
        Memory::SetClockOffsetForTests(qint64(91) * 24 * 3600 * 1000);
        QVERIFY(Memory::Open(90).usable);
        QVERIFY(Memory::SessionsOf(alice[0].nameId).isEmpty());
        QCOMPARE(Memory::SessionsOf(atSeven[0].nameId).size(), 1);  // Bobby's is still open
        QCOMPARE(Memory::Journal(0).size(), 8);  // the two typed status reads too
    }

    // Command-line runs record into the same file as this process, at the same time, and read
    // it back: nothing lost, nothing twice.
    void commandLineRunsShareTheMemory()
    {
        TestEnv env;
        QStringList told;
        Recorder::Start([&](const QString& line) { told << line; });
        ScriptedServer a;
        const QString target = QStringLiteral("127.0.0.1:%1").arg(a.port());
        a.answer(QStringLiteral("status"), {status({{"0", "48", "^1Ali^7ce", "203.0.113.5:27960"}, {"1", "50", "Bob", "203.0.113.7:27960"},
                                               {"2", "50", "<b>x</b>", "198.51.100.2:27960"}, {"3", "50", "%1", "203.0.113.9:27960"}})});
        for (int i = 0; i < 6; ++i)
            a.answer(QStringLiteral("say %1").arg(i), {"console: ok\n"});
        const QStringList says = {QStringLiteral("--send"), QStringLiteral("status"), QStringLiteral("--send"), QStringLiteral("say 0"),
            QStringLiteral("--send"), QStringLiteral("say 1"), QStringLiteral("--send"), QStringLiteral("say 2"), QStringLiteral("--wait"),
            QStringLiteral("0.1"), target};
        QStringList others = says;
        others.replaceInStrings(QStringLiteral("say 0"), QStringLiteral("say 3")).replaceInStrings(QStringLiteral("say 1"), QStringLiteral("say 4"));
        others.replaceInStrings(QStringLiteral("say 2"), QStringLiteral("say 5"));
        QProcess* first = start(says);
        QProcess* second = start(others);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(ask(a.port(), QStringLiteral("status")), ExchangeOutcome::Answered);
        // Meanwhile this process records the same server's answers as fast as it can, so that
        // its writes and the runs' overlap.
        Recorder::Observation seen;
        seen.server = Memory::ServerKey(QStringLiteral("127.0.0.1"), a.port());
        seen.command = QStringLiteral("status");
        seen.automatic = seen.wentOut = true;
        seen.outcome = ExchangeOutcome::Answered;
        seen.datagrams = {"\xff\xff\xff\xffprint\n" + status({{"0", "48", "^1Ali^7ce", "203.0.113.5:27960"}, {"1", "50", "Bob", "203.0.113.7:27960"},
                                                        {"2", "50", "<b>x</b>", "198.51.100.2:27960"}, {"3", "50", "%1", "203.0.113.9:27960"}})};
        while (first->state() != QProcess::NotRunning || second->state() != QProcess::NotRunning) {
            seen.time = Memory::Now();
            Recorder::Observe(seen);
            QTest::qWait(1);
        }
        for (QProcess* p : {first, second}) {
            const Run r = finish(p);
            QCOMPARE(r.status, 0);
            QVERIFY2(r.err.isEmpty(), qPrintable(r.err));  // nothing failed to be recorded
        }

        QCOMPARE(Memory::Journal(0).size(), 3 + 2 * 4);
        for (const QString& name : {QStringLiteral("ali"), QStringLiteral("bob"), QStringLiteral("<b>x</b>"), QStringLiteral("%1")}) {
            const QList<Memory::PlayerFound> found = Memory::Find(name);
            QVERIFY2(found.size() == 1 && found[0].sessions == 1, qPrintable(name));
        }

        // Read back through the command line: a /24, as JSON, names as sent.
        const Run json = run({QStringLiteral("--lookup"), QStringLiteral("203.0.113.0/24"), QStringLiteral("--json")});
        QCOMPARE(json.status, 0);
        QStringList found;
        for (const QJsonValue& v : QJsonDocument::fromJson(json.out.toUtf8()).array())
            found << v.toObject().value(QStringLiteral("name")).toString() + QLatin1Char(' ') + v.toObject().value(QStringLiteral("addresses")).toArray().first().toString();
        found.sort();
        QCOMPARE(found, QStringList({QStringLiteral("%1 203.0.113.9"), QStringLiteral("Bob 203.0.113.7"), QStringLiteral("^1Ali^7ce 203.0.113.5")}));
        const Run text = run({QStringLiteral("--lookup"), QStringLiteral("<B>")});
        QCOMPARE(text.status, 0);
        const QStringList lines = text.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], QStringLiteral("name\taddresses\tservers\tfirst seen\tlast seen\tsessions\ttime played"));
        QVERIFY2(lines[1].startsWith(QStringLiteral("<b>x</b>\t198.51.100.2\t127.0.0.1:") + QString::number(a.port()) + QLatin1Char('\t')), qPrintable(lines[1]));
        const Run journal = run({QStringLiteral("--journal"), QStringLiteral("--since"), QStringLiteral("1h")});
        QCOMPARE(journal.status, 0);
        QCOMPARE(journal.out.count(QStringLiteral("\tanswered\tsay ")), 6);
        QCOMPARE(run({QStringLiteral("--journal"), QStringLiteral("--since"), QStringLiteral("soon")}).status, 2);
        const Run help = run({QStringLiteral("--help")});
        for (const char* option : {"--lookup <TEXT>", "--json", "--journal", "--since <WHEN>", "--ban <ADDRESS>", "--for <DURATION>",
                 "--reason <TEXT>", "--lift-expired"})
            QVERIFY2(help.out.contains(QLatin1String(option)), option);
        QCOMPARE(run({QStringLiteral("--lookup"), QStringLiteral("x"), target}).status, 2);
        QCOMPARE(run({QStringLiteral("--ban"), QStringLiteral("not.an.address"), target}).status, 2);
        QCOMPARE(run({QStringLiteral("--ban"), QStringLiteral("203.0.113.9"), QStringLiteral("--for"), QStringLiteral("3 fortnights"), target}).status, 2);
        QVERIFY2(told.isEmpty(), qPrintable(told.join(QLatin1Char('\n'))));
    }

    void leavesWhatIsNotItsOwnFileAlone()
    {
        TestEnv env;
        QVERIFY(MakeUserDataFolder());
        const QString file = UserDataFolder() + QStringLiteral("/memory.sqlite");

        // Not a database: set aside, a new one begun, and said in one line.
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(8192, 'x'));
        }
        Memory::Opening o = Memory::Open();
        QVERIFY(o.usable);
        QVERIFY2(o.notice.contains(QStringLiteral("kept as ") + file + QStringLiteral(".damaged")), qPrintable(o.notice));
        QCOMPARE(ReadFile(file + QStringLiteral(".damaged")), QByteArray(8192, 'x'));
        QCOMPARE(FileMode(file), 0600);
        Memory::Forget();
        QVERIFY(Memory::Open().notice.isEmpty());  // the new one reads well
        Memory::Forget();

        // A FIFO in its place is never opened (that would wait for ever), nor moved.
        QVERIFY(QFile::remove(file));
        QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        o = Memory::Open();
        QVERIFY(!o.usable && o.notice.contains(QStringLiteral("not a file of yours alone")));
        QVERIFY(QFileInfo(file).exists() && !QFileInfo(file).isFile());
        Memory::Forget();

        // Nor a link, wherever it leads; and nothing is recorded then.
        QVERIFY(QFile::remove(file));
        const QString elsewhere = env.programFolder() + QStringLiteral("/elsewhere");
        QVERIFY(QFile(elsewhere).open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(elsewhere, file));
        QStringList told;
        Recorder::Start([&](const QString& line) { told << line; });
        QVERIFY(!Recorder::IsRecording() && told.size() == 1 && told[0].contains(QStringLiteral("not a file of yours alone")));
        QCOMPARE(QFileInfo(elsewhere).size(), 0);
        QVERIFY(QFileInfo(file).isSymLink());
    }
};

QTEST_MAIN(MemoryTest)
#include "tst_memory.moc"
