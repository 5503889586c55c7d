// The memory on a team's PostgreSQL server: a real PostgreSQL started by the test, stand-in
// game servers and a real OpenArena server, and second programs run as processes of their own
// (this test program, started again to record or to lift bans as the program does): every
// session and journal entry once, a due ban lifted once, the outbox kept while the server is
// stopped and sent in order when it is back, and refused logins and newer schemas said, with
// nothing written.
#include "OpenArenaServer.h"
#include "PostgresServer.h"
#include "ScriptedServer.h"
#include "TestEnv.h"

#include "bans/BanKeeper.h"
#include "console/RequestBudget.h"
#include "console/ServerExchange.h"
#include "lookup/frmLookup.h"
#include "memory/Dialect.h"
#include "memory/MemoryDatabase.h"
#include "memory/Queries.h"
#include "memory/Recorder.h"
#include "memory/TeamWatch.h"
#include "ui/frmMain.h"
#include "widgets/OutputPane.h"
#include "settings/UserDataFolder.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QSqlQuery>
#include <QtTest>

namespace {
bool ask(quint16 port, const QString& command, const QString& password = QStringLiteral("pw"))
{
    ExchangeRequest r;
    r.host = QStringLiteral("127.0.0.1");
    r.port = port;
    r.password = password;
    r.command = command;
    r.priority = ExchangeRequest::Priority::Typed;
    r.firstDatagramMs = 2000;
    r.quietMs = 100;
    QSignalSpy done(ServerExchange::ask(r), &ServerExchange::finished);
    const bool answered = done.wait(10000) && done.first().first().value<ExchangeOutcome>().kind == ExchangeOutcome::Answered;
    Recorder::Flush();
    return answered;
}

// Waits until the outbox is sent (true), asking the writer not to pause.
bool sent(int timeoutMs = 30000)
{
    for (QDeadlineTimer deadline(timeoutMs); !deadline.hasExpired(); QTest::qWait(100)) {
        Recorder::SendNow();
        Recorder::Flush();
        const Memory::TeamState s = Recorder::TeamStatus();
        if (s.reachable && s.waiting == 0)
            return true;
    }
    return false;
}

// A second program, with a data folder of its own, on the team database (its password in
// PGPASSWORD, as libpq takes it): this test started again, or with `real`, the program itself
// given --database.
QProcess* program(const PostgresServer& pg, const QStringList& arguments, const QString& rconPassword = QString(), bool real = false)
{
    auto* p = new QProcess;
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    auto* data = new QTemporaryDir;
    QObject::connect(p, &QObject::destroyed, [data] { delete data; });
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), data->path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), data->path());
    env.insert(QStringLiteral("PGPASSWORD"), pg.password());
    env.insert(QStringLiteral("TEST_RCON_PASSWORD"), rconPassword);
    env.insert(QStringLiteral("TELMORAX_PASSWORD"), rconPassword);
    env.remove(QStringLiteral("DISPLAY"));
    p->setProcessEnvironment(env);
    if (real)
        p->start(QCoreApplication::applicationDirPath() + QStringLiteral("/telmorax"), arguments + QStringList{QStringLiteral("--database"), pg.target().url()});
    else
        p->start(QCoreApplication::applicationFilePath(), QStringList{QStringLiteral("--program"), QString::number(pg.port())} + arguments);
    return p;
}

int finish(QProcess* p, QString* out = nullptr)
{
    // The test's own event loop goes on meanwhile: the stand-in servers answer from it.
    for (QDeadlineTimer deadline(120000); p->state() != QProcess::NotRunning && !deadline.hasExpired();)
        QTest::qWait(20);
    const int status = p->state() == QProcess::NotRunning && p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1;
    if (out)
        *out = QString::fromUtf8(p->readAllStandardOutput());
    p->kill();
    p->waitForFinished();
    delete p;
    return status;
}

// The second program's work: "record PORT..." asks each stand-in server "status" three times;
// "lift" lifts the bans due, as --lift-expired does. Exits 0 once all is in the team database.
int secondProgram(const QStringList& args)
{
    RequestScheduler::instance().setRule(QHostAddress::LocalHost, BudgetRule::ForVersion(QStringLiteral("ioq3")));
    Memory::DatabaseTarget target;
    target.team = true;
    target.user = QStringLiteral("team");
    target.host = QStringLiteral("127.0.0.1");
    target.port = args.value(0).toInt();
    target.database = QStringLiteral("telmorax");
    if (!Memory::Open(target, QString()).usable)
        return 2;
    Recorder::Start({});
    if (args.value(1) == QLatin1String("record")) {
        for (int round = 0; round < 3; ++round) {
            for (const QString& port : args.mid(2))
                ask(quint16(port.toInt()), QStringLiteral("status"));
        }
    } else {
        BanKeeper keeper;
        keeper.setPasswordSource([](const QString&, int) { return qEnvironmentVariable("TEST_RCON_PASSWORD"); });
        QObject::connect(&keeper, &BanKeeper::passDone, [] { QCoreApplication::exit(0); });
        QMetaObject::invokeMethod(&keeper, &BanKeeper::liftDue, Qt::QueuedConnection);
        QCoreApplication::exec();
    }
    const int status = sent() ? 0 : 3;
    Recorder::Stop();
    return status;
}

int count(const QString& sql)
{
    QSqlQuery q(Memory::Connection());
    return q.exec(sql) && q.next() ? q.value(0).toInt() : -1;
}
}

class TeamTest : public QObject {
    Q_OBJECT
private slots:
    void twoProgramsRecordOnceAndLiftOnce()
    {
        PostgresServer pg;
        QVERIFY2(pg.start(), qPrintable(pg.errorText()));
        TestEnv env;
        QVERIFY(Memory::Open(pg.target(), pg.password()).usable);
        // Two servers with the same players, polled by two programs at once.
        ScriptedServer a, b;
        a.answer(QStringLiteral("status"), {ScriptedServer::StatusAnswer({{"0", "50", "^1Red", "203.0.113.1:27960"}, {"1", "40", "Blue", "203.0.113.2:27960"},
                                               {"2", "0", "Sarge", "bot"}})});
        // A hostile name: quotes, a backslash, a NUL, 4-byte UTF-8 and 300 characters.
        const QString hostile = QString::fromLatin1("O'Br\"i\\n;--\0y\xF0\x9F\x98\x80", 17) + QString(283, QLatin1Char('z'));
        b.answer(QStringLiteral("status"),
            {ScriptedServer::StatusAnswer({{"0", "50", "^1Red", "203.0.113.1:27960"}, {"3", "60", "Green", "198.51.100.3:1"}, {"4", "60", hostile, "198.51.100.4:1"}})});
        // The program itself sends "status" three times to one, while this process asks it too.
        const QStringList three = {QStringLiteral("--send"), QStringLiteral("status"), QStringLiteral("--send"), QStringLiteral("status"),
            QStringLiteral("--send"), QStringLiteral("status"), QStringLiteral("--wait"), QStringLiteral("0.1"), QStringLiteral("127.0.0.1:%1").arg(a.port())};
        QProcess* first = program(pg, three, QStringLiteral("pw"), true);
        QProcess* second = program(pg, {QStringLiteral("record"), QString::number(b.port()), QString::number(a.port())});
        Recorder::Start({});
        for (int i = 0; i < 3; ++i)
            QVERIFY(ask(a.port(), QStringLiteral("status")));
        QCOMPARE(finish(first), 0);
        QCOMPARE(finish(second), 0);
        QVERIFY(sent());
        Recorder::Stop();
        QCOMPARE(a.heard().size() + b.heard().size(), 12);
        // Every player once a server, the bot never; every typed command once, with its admin
        // and desktop.
        QCOMPARE(count(QStringLiteral("SELECT count(*) FROM sessions")), 5);
        QCOMPARE(count(QStringLiteral("SELECT count(DISTINCT (server, name_id)) FROM sessions")), 5);
        QCOMPARE(count(QStringLiteral("SELECT count(*) FROM names")), 4);
        QCOMPARE(count(QStringLiteral("SELECT count(*) FROM journal WHERE admin = '%1' AND desktop = '%2' AND origin <> ''")
                           .arg(Memory::AdminName(), QSysInfo::machineHostName())),
            12);
        QCOMPARE(count(QStringLiteral("SELECT count(DISTINCT origin) FROM journal")), 12);
        QCOMPARE(count(QStringLiteral("SELECT count(*) FROM journal WHERE server = '127.0.0.1:%1'").arg(a.port())), 9);
        // What both programs recorded, found from this one.
        const QList<Memory::PlayerFound> red = Memory::Find(QStringLiteral("red"));
        QCOMPARE(red.size(), 1);
        QCOMPARE(red.first().servers.size(), 2);
        QCOMPARE(red.first().sessions, 2);
        QCOMPARE(Memory::Find(QStringLiteral("203.0.113.0/24")).size(), 2);
        QCOMPARE(Memory::Find(QStringLiteral("e")).size(), 3);
        const QList<Memory::PlayerFound> odd = Memory::Find(QStringLiteral("O'Br\"i\\n;--"));
        QCOMPARE(odd.size(), 1);
        QCOMPARE(odd.first().name, QString(hostile).replace(QChar(0), QChar::ReplacementCharacter));
        QCOMPARE(Memory::AliasesOf(red.first().nameId).size(), 1);
        QCOMPARE(Memory::ServersSeen().size(), 2);
        QCOMPARE(Memory::SessionsOf(red.first().nameId).size(), 2);
        QCOMPARE(Memory::SessionsOn(Memory::ServerKey(QStringLiteral("127.0.0.1"), a.port()), 0, Memory::Now()).size(), 2);
        QCOMPARE(Memory::Journal(0).first().desktop, QSysInfo::machineHostName());
        // What the other recorded alone, found by the program itself.
        QString found;
        QCOMPARE(finish(program(pg, {QStringLiteral("--lookup"), QStringLiteral("green")}, QString(), true), &found), 0);
        QVERIFY2(found.contains(QStringLiteral("Green")) && found.contains(QStringLiteral("198.51.100.3")), qPrintable(found));

        // A ban on the real server that fell due, with two programs to lift it.
        OpenArenaServer oa(QStringLiteral("rconpw"));
        QVERIFY2(oa.start(), qPrintable(oa.errorText()));
        QVERIFY(oa.rcon(QStringLiteral("banaddr 203.0.113.77")).contains("203.0.113.77"));
        bool ok = false;
        pg.sql(QStringLiteral("INSERT INTO bans(server, target, reason, admin, created, expires) VALUES('127.0.0.1:%1', '203.0.113.77/32', 'camping', "
                              "'ann', 1, 2);")
                   .arg(oa.port()),
            &ok);
        QVERIFY(ok);
        const int before = int(oa.output().count(QStringLiteral("bandel")));
        first = program(pg, {QStringLiteral("lift")}, oa.password());
        second = program(pg, {QStringLiteral("lift")}, oa.password());
        QCOMPARE(finish(first), 0);
        QCOMPARE(finish(second), 0);
        QVERIFY(!oa.rcon(QStringLiteral("listbans")).contains("203.0.113.77"));
        QCOMPARE(oa.output().count(QStringLiteral("bandel")) - before, 1);
        QCOMPARE(pg.sql(QStringLiteral("SELECT lifted_how, claimed_by IS NOT NULL FROM bans WHERE target = '203.0.113.77/32';")), QStringLiteral("expired|t"));
        QCOMPARE(count(QStringLiteral("SELECT count(*) FROM journal WHERE command LIKE 'bandel%'")), 1);
        const QList<Memory::Ban> bans = Memory::BansOn(Memory::ServerKey(QStringLiteral("127.0.0.1"), oa.port()));
        QCOMPARE(bans.size(), 1);
        QVERIFY(bans.first().lifted > 0 && bans.first().reason == QLatin1String("camping"));
    }

    void nothingLostWhileTheServerIsAway()
    {
        PostgresServer pg;
        QVERIFY2(pg.start(), qPrintable(pg.errorText()));
        TestEnv env;
        const Memory::Opening opening = Memory::Open(pg.target(), pg.password());
        QVERIFY(opening.usable);
        QVERIFY(opening.notice.isEmpty());
        QVERIFY(Memory::IsTeam());
        // The real window records; its title keeps the count of records waiting true.
        auto w = std::make_unique<frmMain>();
        QVERIFY(Recorder::IsRecording());
        const QString title = w->windowTitle();
        QSignalSpy notes(Recorder::Signals(), &RecorderSignals::teamNote);
        ScriptedServer s;
        QList<QByteArray> answers;
        for (int i = 0; i < 12; ++i)
            answers << ScriptedServer::StatusAnswer({{QString::number(i), "50", QStringLiteral("player%1").arg(i), QStringLiteral("203.0.113.%1:1").arg(i + 1)}});
        s.answer(QStringLiteral("status"), answers);
        // Each answer a minute after the one before: an order the journal's times show.
        auto record = [&](int from, int to) {
            for (int i = from; i < to; ++i) {
                Memory::SetClockOffsetForTests(qint64(i) * 60000);
                QVERIFY(ask(s.port(), QStringLiteral("status")));
            }
        };
        record(0, 3);
        QVERIFY(sent());
        pg.stop();
        record(3, 8);
        QTRY_VERIFY_WITH_TIMEOUT(!Recorder::TeamStatus().reachable, 20000);
        QCOMPARE(Recorder::TeamStatus().waiting, 5);
        QTRY_VERIFY2(w->windowTitle().startsWith(title + QStringLiteral(" - team database unreachable since "))
                && w->windowTitle().endsWith(QStringLiteral("; 5 records waiting")),
            qPrintable(w->windowTitle()));
        // Each waiting record twice, as when the answer to a sending was lost: kept once.
        QVERIFY(QSqlQuery(Memory::LocalConnection()).exec(QStringLiteral("INSERT INTO outbox(target, record) SELECT target, record FROM outbox")));
        Recorder::SendNow();
        QTRY_VERIFY(w->windowTitle().endsWith(QStringLiteral("; 10 records waiting")));
        QTRY_VERIFY(!notes.isEmpty());
        QCOMPARE(notes.size(), 1);  // the pane is told once, while the title follows the count
        QVERIFY(notes.first().first().toString().startsWith(QStringLiteral("team database unreachable since ")));
        QVERIFY(w->findChild<OutputPane*>()->text().contains(notes.first().first().toString()));
        {
            frmLookup lookup([] { return MainWindowBoxes(); });
            lookup.txtSearch->setText(QStringLiteral("player"));
            lookup.Find();
            QVERIFY(lookup.lblFound->text().contains(QStringLiteral("Results may be incomplete: team database unreachable since")));
        }

        // Back: the outbox goes in order, and a lookup finds everyone.
        QVERIFY2(pg.start(), qPrintable(pg.errorText()));
        QVERIFY(sent());
        QTRY_VERIFY(notes.last().first().toString().startsWith(QStringLiteral("team database reachable again")));
        QTRY_COMPARE(w->windowTitle(), title);
        QList<qint64> times;
        for (const Memory::JournalEntry& e : Memory::Journal(0))
            times << e.time;
        QCOMPARE(times.size(), 8);
        QVERIFY(std::is_sorted(times.begin(), times.end()) && times.last() - times.first() >= 7 * 60000);
        QCOMPARE(pg.sql(QStringLiteral("SELECT string_agg(command, ',' ORDER BY id) = string_agg(command, ',' ORDER BY time) FROM journal;")), QStringLiteral("t"));
        QCOMPARE(Memory::Find(QStringLiteral("player")).size(), 8);

        // A record the server refuses for what it holds, between two others: set aside in the
        // local file and said once, and the outbox goes on with the next in order.
        pg.sql(QStringLiteral("CREATE FUNCTION refuse() RETURNS trigger AS $$ BEGIN IF NEW.command = 'kick x' THEN RAISE 'no kicks'; END IF; "
                              "RETURN NEW; END $$ LANGUAGE plpgsql; CREATE TRIGGER refuse BEFORE INSERT ON journal FOR EACH ROW EXECUTE FUNCTION refuse();"));
        for (const QString& c : {QStringLiteral("say one"), QStringLiteral("kick x"), QStringLiteral("say two")}) {
            s.answer(c, {"ok\n"});
            QVERIFY(ask(s.port(), c));
        }
        QTRY_COMPARE_WITH_TIMEOUT(pg.sql(QStringLiteral("SELECT string_agg(command, ',' ORDER BY id) FROM journal WHERE command NOT LIKE 'status';")),
            QStringLiteral("say one,say two"), 20000);
        const QString pane = w->findChild<OutputPane*>()->text();
        QCOMPARE(pane.count(QStringLiteral("the team database refused a record: ")), 1);
        QVERIFY2(pane.contains(QStringLiteral("the team database refused a record: ERROR:  no kicks; it is kept in the local file")), qPrintable(pane));
        QCOMPARE(Recorder::TeamStatus().waiting, 0);

        // A server that answers nothing and closes nothing: its connection is cut, and the
        // admin switches to the local file meanwhile. The outbox is kept for the team
        // database, and sent when the program is on it again.
        w.reset();
        Recorder::Start({});
        QVERIFY(sent());
        pg.freeze(true);
        record(8, 10);
        ask(s.port(), QStringLiteral("set rconpassword hunter2"));  // no answer; journalled all the same
        QTRY_VERIFY_WITH_TIMEOUT(Recorder::TeamStatus().waiting == 3, (Memory::WatchSeconds + 10) * 1000);
        QVERIFY(!Recorder::TeamStatus().reachable);
        const QByteArray outboxFile = ReadFile(Memory::Path()) + ReadFile(Memory::Path() + QStringLiteral("-wal"));
        QVERIFY(!outboxFile.contains("hunter2") && !outboxFile.contains(QByteArray("\0h\0u\0n\0t\0e\0r\0002", 14)));
        Recorder::Stop();
        Memory::Forget();
        QVERIFY(Memory::Open(Memory::DatabaseTarget(), QString()).usable);
        QVERIFY(!Memory::IsTeam());
        QCOMPARE(Memory::Journal(0).size(), 1);  // the refused record
        QCOMPARE(Memory::Journal(0).first().command, QStringLiteral("kick x"));
        QSqlQuery outbox(Memory::LocalConnection());
        QVERIFY(outbox.exec(QStringLiteral("SELECT count(*) FROM outbox")) && outbox.next());
        QCOMPARE(outbox.value(0).toInt(), 3);
        outbox = QSqlQuery();
        Memory::Forget();
        pg.freeze(false);
        QVERIFY(Memory::Open(pg.target(), pg.password()).usable);
        Recorder::Start({});
        QVERIFY(sent());
        QCOMPARE(Memory::Journal(0).size(), 13);
        QCOMPARE(Memory::Journal(0).last().command, QStringLiteral("set rconpassword ********"));
        QCOMPARE(Memory::Find(QStringLiteral("player")).size(), 10);
    }

    void refusedLoginsAndNewerSchemasAreSaid()
    {
        PostgresServer pg;
        QVERIFY2(pg.start(), qPrintable(pg.errorText()));
        TestEnv env;
        const QString file = UserDataFolder() + QLatin1Char('/') + Memory::FileName;

        // A wrong password: said, and nothing is made, not even the local file.
        Memory::Opening o = Memory::Open(pg.target(), QStringLiteral("wrong"));
        QVERIFY(!o.usable);
        QVERIFY2(o.notice.contains(QStringLiteral("password authentication failed")), qPrintable(o.notice));
        QVERIFY(o.notice.startsWith(QStringLiteral("The team database team@127.0.0.1:")));
        QVERIFY(!QFile::exists(file));
        QCOMPARE(pg.sql(QStringLiteral("SELECT count(*) FROM pg_tables WHERE schemaname = 'public';")), QStringLiteral("0"));
        Memory::Forget();

        // A server that is not there: recording goes on into the outbox.
        Memory::DatabaseTarget away = pg.target();
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        away.port = probe.serverPort();
        probe.close();
        o = Memory::Open(away, pg.password());
        QVERIFY(o.usable);
        QVERIFY2(o.notice.contains(QStringLiteral("cannot be reached")), qPrintable(o.notice));
        Recorder::Start({});
        ScriptedServer s;
        s.answer(QStringLiteral("status"), {ScriptedServer::StatusAnswer({{"0", "50", "Ann", "203.0.113.9:1"}})});
        QVERIFY(ask(s.port(), QStringLiteral("status")));
        QTRY_COMPARE(Recorder::TeamStatus().waiting, 1);
        QVERIFY(!Recorder::TeamStatus().reachable);
        Recorder::Stop();
        Memory::Forget();

        // A password of odd characters reaches the server whole; the schema is made.
        bool ok = false;
        pg.sql(QStringLiteral("ALTER ROLE team PASSWORD 'it''s a \\ \"pw\" ;x=1 ';"), &ok);
        QVERIFY(ok);
        o = Memory::Open(pg.target(), QStringLiteral("it's a \\ \"pw\" ;x=1 "));
        QVERIFY2(o.usable && o.notice.isEmpty(), qPrintable(o.notice));
        Memory::Forget();

        // A database of a newer schema than the program's: left as it is.
        pg.sql(QStringLiteral("UPDATE telmorax_schema SET version = 99; INSERT INTO journal(time, server, command, admin, outcome) VALUES(1, 's', 'c', 'a', 'o');"), &ok);
        QVERIFY(ok);
        o = Memory::Open(pg.target(), QStringLiteral("it's a \\ \"pw\" ;x=1 "));
        QVERIFY(!o.usable);
        QVERIFY2(o.notice.contains(QStringLiteral("newer version of the program")), qPrintable(o.notice));
        QVERIFY(Memory::Journal(0).isEmpty());
        QCOMPARE(pg.sql(QStringLiteral("SELECT count(*) FROM journal;")), QStringLiteral("1"));
        QCOMPARE(pg.sql(QStringLiteral("SELECT version FROM telmorax_schema;")), QStringLiteral("99"));
        Memory::Forget();

        // A local file of the first schema is brought forward, its entries kept.
        QFile::remove(file);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
            db.setDatabaseName(file);
            QVERIFY(db.open());
            QSqlQuery q(db);
            for (const QString& statement : Memory::Dialect::SchemaStep(Memory::Dialect::Engine::SQLite, 1))
                QVERIFY2(q.exec(statement), qPrintable(statement));
            QVERIFY(q.exec(QStringLiteral("INSERT INTO journal(time, server, command, admin, outcome) VALUES(5, 's', 'kick 1', 'ann', 'answered')")));
            QVERIFY(q.exec(QStringLiteral("PRAGMA user_version=1")));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("old"));
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        o = Memory::Open();
        QVERIFY2(o.usable && o.notice.isEmpty(), qPrintable(o.notice));
        QCOMPARE(Memory::Journal(0).size(), 1);
        QCOMPARE(Memory::Journal(0).first().desktop, QString());
        QCOMPARE(count(QStringLiteral("PRAGMA user_version")), Memory::SchemaVersion);
        QCOMPARE(count(QStringLiteral("SELECT count(*) FROM outbox")), 0);
    }
};

int main(int argc, char** argv)
{
    if (argc > 2 && qstrcmp(argv[1], "--program") == 0) {
        QCoreApplication app(argc, argv);
        return secondProgram(app.arguments().mid(2));
    }
    QApplication app(argc, argv);
    TeamTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_team.moc"
