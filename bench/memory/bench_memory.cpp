// The program's memory over a year of a 50-server fleet: about 2 million sessions of 200 000
// players (names of syllables, some with colour codes; 1.2 addresses each, in 20 000 /24
// networks), generated into a database file in a temporary folder. Measures:
//  - a search by name fragment and by /24 prefix (Memory::Find, what the Lookup window and
//    --lookup run): median and worst;
//  - the GUI thread's time to record one round of the Servers window's polls: 50 getstatus
//    answers of 16 players each handed to the recorder as the exchange unit reports them;
//    and the writer thread's time to write that round;
//  - the file's size.
// With --team, the same on a team database: a real PostgreSQL started in a temporary folder
// (as the tests start it), the same data, searched through the same queries, the rounds
// recorded through the local outbox to the server.
// Prints numbers only. `bench_memory [sessions] [--team]` (default 2 000 000).
#include "../BenchStats.h"
#include "PostgresServer.h"
#include "console/ExchangeObserver.h"
#include "console/ServerExchange.h"
#include "memory/MemoryDatabase.h"
#include "memory/Queries.h"
#include "memory/Recorder.h"
#include "settings/UserDataFolder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>

#include <cstdio>
#include <vector>

namespace {
constexpr int Players = 200000;
constexpr int Servers = 50;
constexpr qint64 Day = 24 * 3600 * 1000LL;
const char* const Syllables[] = {"ka", "ro", "zu", "mi", "tek", "vor", "an", "li", "sha", "dor", "ex", "qu", "ny", "bel", "gr", "os",
    "fa", "ti", "wu", "ze", "pol", "ra", "sn", "ip", "er", "ul", "mo", "ck", "hy", "jo"};

QString playerName(QRandomGenerator& r, int n)
{
    QString name;
    const int parts = 2 + int(r.bounded(3));
    for (int i = 0; i < parts; ++i)
        name += QString::fromLatin1(Syllables[r.bounded(int(std::size(Syllables)))]);
    if (r.bounded(4) == 0)
        name = QStringLiteral("^%1").arg(r.bounded(8)) + name;  // colour codes, as many players have
    return name + QString::number(n);  // unique, as the names table keeps them
}

QString addressOf(QRandomGenerator& r)
{
    const quint32 net = 20000 + r.bounded(20000);  // 20 000 networks of /24
    return QStringLiteral("%1.%2.%3.%4").arg(QString::number(10 + net / 65536 % 200), QString::number(net / 256 % 256),
        QString::number(net % 256), QString::number(1 + r.bounded(254)));
}

void exec(QSqlQuery& q)
{
    if (!q.exec()) {
        std::fprintf(stderr, "write failed: %s\n", qPrintable(q.lastError().text()));
        std::exit(1);
    }
}

// A year of sightings, written as the recorder leaves them, in one transaction a chunk.
void generate(int sessions, QStringList* names, QStringList* addresses)
{
    QSqlDatabase db = Memory::Connection();
    QRandomGenerator r(31);
    const qint64 end = Memory::Now();
    const qint64 start = end - 365 * Day;
    QSqlQuery q(db);
    const bool team = Memory::IsTeam();
    // Written once, read afterwards: no need to wait for the disk meanwhile.
    if (!team) {
        q.exec(QStringLiteral("PRAGMA synchronous=OFF"));
        q.exec(QStringLiteral("PRAGMA cache_size=-262144"));
    }
    q.exec(QStringLiteral("BEGIN"));
    QSqlQuery name(db), address(db), link(db), session(db);
    name.prepare(QStringLiteral("INSERT INTO names(id, name, plain, folded, first_seen, last_seen) VALUES(?, ?, ?, ?, ?, ?)"));
    address.prepare(QStringLiteral("INSERT INTO addresses(id, ip, key) VALUES(?, ?, ?) ON CONFLICT DO NOTHING"));
    link.prepare(QStringLiteral("INSERT INTO name_address(name_id, address_id, first_seen, last_seen) VALUES(?, ?, ?, ?) ON CONFLICT DO NOTHING"));
    session.prepare(QStringLiteral("INSERT INTO sessions(server, name_id, address_id, client, first_seen, last_seen, open) VALUES(?, ?, ?, ?, ?, ?, 0)"));
    std::vector<std::vector<qint64>> addressIds(Players + 1);
    qint64 nextAddress = 1;
    for (int p = 1; p <= Players; ++p) {
        const QString n = playerName(r, p);
        names->append(n);
        name.addBindValue(p);
        name.addBindValue(n);
        name.addBindValue(Memory::FoldName(n));  // plain: close enough for the benchmark
        name.addBindValue(Memory::FoldName(n));
        name.addBindValue(start);
        name.addBindValue(end - qint64(r.bounded(365)) * Day);
        exec(name);
        const int count = r.bounded(5) == 0 ? 2 : 1;
        for (int a = 0; a < count; ++a) {
            const QString ip = addressOf(r);
            addresses->append(ip);
            address.addBindValue(nextAddress);
            address.addBindValue(ip);
            address.addBindValue(Memory::AddressKey(ip));
            exec(address);
            link.addBindValue(p);
            link.addBindValue(nextAddress);
            link.addBindValue(start);
            link.addBindValue(end);
            exec(link);
            addressIds[p].push_back(nextAddress++);
        }
    }
    for (int s = 0; s < sessions; ++s) {
        // Some play every day, most now and then.
        const int p = r.bounded(10) < 3 ? 1 + int(r.bounded(Players / 20)) : 1 + int(r.bounded(Players));
        const qint64 from = start + qint64(r.bounded(365 * 24 * 60)) * 60000;
        session.addBindValue(QStringLiteral("203.0.113.%1:27960").arg(1 + (p * 7 + s) % Servers));
        session.addBindValue(p);
        session.addBindValue(addressIds[p][s % addressIds[p].size()]);
        session.addBindValue(int(r.bounded(32)));
        session.addBindValue(from);
        session.addBindValue(from + 60000 * (5 + qint64(r.bounded(115))));
        exec(session);
        if (s % 200000 == 199999) {
            q.exec(QStringLiteral("COMMIT"));
            q.exec(QStringLiteral("BEGIN"));
        }
    }
    q.exec(QStringLiteral("COMMIT"));
    if (!team) {
        q.exec(QStringLiteral("PRAGMA cache_size=-2000"));  // back to the program's own
        return;
    }
    // The ids given here are past the server's own counters; its planner learns the tables.
    for (const char* table : {"names", "addresses"})
        q.exec(QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', 'id'), (SELECT max(id) FROM %1))").arg(QLatin1String(table)));
    q.exec(QStringLiteral("ANALYZE"));
}

std::vector<double> timeSearches(const QStringList& texts, int* rows)
{
    std::vector<double> ms;
    *rows = 0;
    for (const QString& t : texts) {
        QElapsedTimer timer;
        timer.start();
        *rows += int(Memory::Find(t).size());
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    return ms;
}
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const bool team = args.contains(QStringLiteral("--team"));
    const int sessions = !args.isEmpty() && args.first() != QLatin1String("--team") ? args.first().toInt() : 2000000;
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", data.path().toLocal8Bit());
    PostgresServer server;
    if (team && !server.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(server.errorText()));
        return 1;
    }
    auto open = [&] { return team ? Memory::Open(server.target(), server.password()) : Memory::Open(); };
    if (!open().usable) {
        std::fprintf(stderr, "the memory could not be opened\n");
        return 1;
    }
    QStringList names, addresses;
    QElapsedTimer timer;
    timer.start();
    generate(sessions, &names, &addresses);
    QSqlQuery size(Memory::Connection());
    size.exec(team ? QStringLiteral("SELECT pg_database_size(current_database())") : QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    std::printf("generated %d players, %d sessions on %d servers in %.1f s\n", Players, sessions, Servers, timer.elapsed() / 1000.0);
    const qint64 bytes = team ? (size.next() ? size.value(0).toLongLong() : 0) : QFileInfo(Memory::Path()).size();
    std::printf("database file: %.1f MiB (%.0f bytes a session)\n", bytes / 1048576.0, double(bytes) / sessions);

    QRandomGenerator r(7);
    QStringList fragments, prefixes;
    for (int i = 0; i < 50; ++i) {
        const QString n = Memory::FoldName(names[r.bounded(int(names.size()))]);
        const int length = 3 + int(r.bounded(3));
        fragments << n.mid(int(r.bounded(qMax(1, int(n.size()) - length))), length);
        prefixes << addresses[r.bounded(int(addresses.size()))].section(QLatin1Char('.'), 0, 2) + QStringLiteral(".0/24");
    }
    // The first search of each kind reads from a file the page cache may not hold yet.
    QElapsedTimer cold;
    cold.start();
    Memory::Find(fragments.first());
    const double coldFragment = cold.nsecsElapsed() / 1e6;
    cold.restart();
    Memory::Find(prefixes.first());
    std::printf("first search (cold): by fragment %.1f ms, by /24 %.1f ms\n", coldFragment, cold.nsecsElapsed() / 1e6);
    int rows = 0;
    print("search by name fragment (3-5 letters; up to 200 rows)", stats(timeSearches(fragments, &rows)), "ms");
    std::printf("  %.1f rows a search\n", rows / 50.0);
    print("search by /24 prefix", stats(timeSearches(prefixes, &rows)), "ms");
    std::printf("  %.1f rows a search\n", rows / 50.0);

    // One poll round: 50 getstatus answers of 16 players, reported as the exchange unit does.
    Memory::Forget();
    open();
    Recorder::Start({});
    std::vector<double> hand, write;
    for (int round = 0; round < 30; ++round) {
        std::vector<std::pair<ExchangeRequest, ExchangeOutcome>> answers;
        for (int s = 0; s < Servers; ++s) {
            ExchangeRequest request;
            request.host = QStringLiteral("203.0.113.%1").arg(s + 1);
            request.port = 27960;
            request.command = QStringLiteral("getstatus 1234");
            request.outOfBand = true;
            request.priority = ExchangeRequest::Priority::Automatic;
            ExchangeOutcome outcome;
            outcome.kind = ExchangeOutcome::Answered;
            QByteArray datagram("\xff\xff\xff\xffstatusResponse\n\\challenge\\1234\\sv_hostname\\bench\\mapname\\oa_dm1\n");
            for (int p = 0; p < 16; ++p)
                datagram += QStringLiteral("%1 50 \"%2\"\n").arg(QString::number(p), names[(s * 16 + p + round) % names.size()]).toUtf8();
            outcome.datagrams = {datagram};
            answers.emplace_back(request, outcome);
        }
        QElapsedTimer t;
        t.start();
        for (const auto& a : answers)
            ReportExchange(a.first, a.second, true);
        hand.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        Recorder::Flush();
        write.push_back(t.nsecsElapsed() / 1e6);
    }
    print("GUI thread: one round of 50 getstatus answers handed over", stats(hand), "ms");
    print("writer thread: that round written", stats(write), "ms");
    Recorder::Stop();
    return 0;
}
