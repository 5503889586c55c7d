#include "memory/Queries.h"

#include "memory/Dialect.h"
#include "memory/MemoryDatabase.h"
#include "memory/TeamWatch.h"

#include <QDateTime>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace Memory {
namespace {
QSqlQuery query(const QString& sql)
{
    QSqlDatabase db = Connection();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(Dialect::Sql(db, sql));
    return q;
}

// The memory is open, and its connection too (a team database may be away).
bool readable()
{
    return IsOpen() && Connection().isOpen();
}

// Runs a query; a team connection found lost is opened again by the next query.
bool exec(QSqlQuery& q)
{
    QSqlDatabase db = Connection();
    {
        TeamWatch watch(db);
        if (q.exec())
            return true;
    }
    if (Dialect::Lost(db, q.lastError().text()))
        Drop(db);
    return false;
}

// Runs a prepared query and reads each row it gives with `read`.
template <class Read>
auto rows(QSqlQuery& q, Read read) -> QList<decltype(read(q))>
{
    QList<decltype(read(q))> list;
    exec(q);
    while (q.next())
        list.append(read(q));
    return list;
}

Session session(const QSqlQuery& q)
{
    Session s;
    s.server = q.value(0).toString();
    s.name = q.value(1).toString();
    s.address = q.value(2).toString();
    s.client = q.value(3).isNull() ? -1 : q.value(3).toInt();
    s.firstSeen = q.value(4).toLongLong();
    s.lastSeen = q.value(5).toLongLong();
    s.open = q.value(6).toInt() != 0;
    return s;
}

const QString SessionColumns = QStringLiteral(
    "SELECT s.server, n.name, coalesce(a.ip, ''), s.client, s.first_seen, s.last_seen, s.open FROM sessions s "
    "JOIN names n ON n.id = s.name_id LEFT JOIN addresses a ON a.id = s.address_id ");

JournalEntry entry(const QSqlQuery& q)
{
    JournalEntry e;
    e.time = q.value(0).toLongLong();
    e.server = q.value(1).toString();
    e.command = q.value(2).toString();
    e.admin = q.value(3).toString();
    e.outcome = q.value(4).toString();
    e.targetName = q.value(5).toString();
    e.targetAddress = q.value(6).toString();
    e.reason = q.value(7).toString();
    e.desktop = q.value(8).toString();
    return e;
}

const QString JournalColumns = QStringLiteral(
    "SELECT time, server, command, admin, outcome, coalesce(target_name, ''), coalesce(target_address, ''), "
    "coalesce(reason, ''), coalesce(desktop, '') FROM journal ");

Ban ban(const QSqlQuery& q)
{
    Ban b;
    b.id = q.value(0).toLongLong();
    b.server = q.value(1).toString();
    b.target = q.value(2).toString();
    b.reason = q.value(3).toString();
    b.admin = q.value(4).toString();
    b.created = q.value(5).toLongLong();
    b.expires = q.value(6).toLongLong();
    b.lifted = q.value(7).toLongLong();
    b.liftedBy = q.value(8).toString();
    b.liftedHow = q.value(9).toString();
    return b;
}

const QString BanColumns = QStringLiteral(
    "SELECT id, server, target, reason, admin, created, coalesce(expires, 0), coalesce(lifted, 0), coalesce(lifted_by, ''), "
    "coalesce(lifted_how, '') FROM bans ");
}

QList<PlayerFound> Find(const QString& text, int limit)
{
    QList<PlayerFound> found;
    if (!readable() || text.trimmed().isEmpty())
        return found;
    const Search search = ReadSearch(text);
    QString fragment;
    QSqlQuery ids = search.kind == Search::Addresses
        ? query(QStringLiteral("SELECT id, name, first_seen, last_seen FROM names WHERE id IN (SELECT na.name_id FROM addresses a "
                               "JOIN name_address na ON na.address_id = a.id WHERE a.key BETWEEN ? AND ?) "
                               "ORDER BY last_seen DESC LIMIT ?"))
        : query(Dialect::NameSearch(Connection(), search.fragment, &fragment));
    if (search.kind == Search::Addresses) {
        ids.addBindValue(search.low);
        ids.addBindValue(search.high);
    } else {
        ids.addBindValue(fragment);
    }
    ids.addBindValue(limit);
    exec(ids);
    while (ids.next()) {
        PlayerFound p;
        p.nameId = ids.value(0).toLongLong();
        p.name = ids.value(1).toString();
        p.firstSeen = ids.value(2).toLongLong();
        p.lastSeen = ids.value(3).toLongLong();
        found.append(p);
    }
    QSqlQuery totals = query(QStringLiteral("SELECT count(*), coalesce(sum(last_seen - first_seen), 0) FROM sessions WHERE name_id = ?"));
    QSqlQuery servers = query(QStringLiteral("SELECT DISTINCT server FROM sessions WHERE name_id = ? ORDER BY server"));
    QSqlQuery addresses = query(QStringLiteral("SELECT a.ip FROM name_address na JOIN addresses a ON a.id = na.address_id "
                                               "WHERE na.name_id = ? ORDER BY na.last_seen DESC"));
    for (PlayerFound& p : found) {
        totals.addBindValue(p.nameId);
        if (exec(totals) && totals.next()) {
            p.sessions = totals.value(0).toInt();
            p.playedMs = totals.value(1).toLongLong();
        }
        servers.addBindValue(p.nameId);
        exec(servers);
        while (servers.next())
            p.servers.append(servers.value(0).toString());
        addresses.addBindValue(p.nameId);
        exec(addresses);
        while (addresses.next())
            p.addresses.append(addresses.value(0).toString());
    }
    return found;
}

QList<Alias> AliasesOf(qint64 nameId)
{
    if (!readable())
        return {};
    // The name's addresses, the names seen there, and those names' addresses: two steps out.
    QSqlQuery q = query(QStringLiteral(
        "WITH addrs AS (SELECT address_id FROM name_address WHERE name_id = ?), "
        "nms AS (SELECT DISTINCT name_id FROM name_address WHERE address_id IN (SELECT address_id FROM addrs) UNION SELECT ?) "
        "SELECT n.name, a.ip, na.first_seen, na.last_seen FROM name_address na JOIN names n ON n.id = na.name_id "
        "JOIN addresses a ON a.id = na.address_id WHERE na.name_id IN (SELECT name_id FROM nms) ORDER BY na.last_seen DESC LIMIT 1000"));
    q.addBindValue(nameId);
    q.addBindValue(nameId);
    return rows(q, [](const QSqlQuery& r) {
        return Alias{r.value(0).toString(), r.value(1).toString(), r.value(2).toLongLong(), r.value(3).toLongLong()};
    });
}

QList<Session> SessionsOf(qint64 nameId)
{
    if (!readable())
        return {};
    QSqlQuery q = query(SessionColumns + QStringLiteral("WHERE s.name_id = ? ORDER BY s.server, s.last_seen DESC LIMIT 5000"));
    q.addBindValue(nameId);
    return rows(q, session);
}

QList<Session> SessionsOn(const QString& server, qint64 from, qint64 to)
{
    if (!readable())
        return {};
    QSqlQuery q = query(SessionColumns + QStringLiteral("WHERE s.server = ? AND s.last_seen >= ? AND s.first_seen <= ? "
                                                        "ORDER BY s.first_seen LIMIT 5000"));
    q.addBindValue(server);
    q.addBindValue(from);
    q.addBindValue(to);
    return rows(q, session);
}

QStringList ServersSeen()
{
    if (!readable())
        return {};
    // One step of the index per server, not a scan of every session.
    QSqlQuery q = query(QStringLiteral("WITH RECURSIVE s(server) AS (SELECT min(server) FROM sessions UNION ALL "
                                       "SELECT (SELECT min(server) FROM sessions WHERE server > s.server) FROM s WHERE s.server IS NOT NULL) "
                                       "SELECT server FROM s WHERE server IS NOT NULL"));
    return rows(q, [](const QSqlQuery& r) { return r.value(0).toString(); });
}

QList<JournalEntry> Journal(qint64 since)
{
    if (!readable())
        return {};
    QSqlQuery q = query(JournalColumns + QStringLiteral("WHERE time >= ? ORDER BY time, id"));
    q.addBindValue(since);
    return rows(q, entry);
}

QList<JournalEntry> JournalAbout(qint64 nameId)
{
    QList<JournalEntry> list;
    if (!readable())
        return list;
    QSqlQuery name = query(QStringLiteral("SELECT name FROM names WHERE id = ?"));
    name.addBindValue(nameId);
    if (!exec(name) || !name.next())
        return list;
    QStringList addresses;
    QSqlQuery a = query(QStringLiteral("SELECT a.ip FROM name_address na JOIN addresses a ON a.id = na.address_id WHERE na.name_id = ?"));
    a.addBindValue(nameId);
    exec(a);
    while (a.next())
        addresses.append(a.value(0).toString());
    // An entry names a player as the server sent the name, and a ban its address/prefix.
    QSqlQuery q = query(JournalColumns + QStringLiteral("WHERE target_name = ? OR target_address IS NOT NULL ORDER BY time DESC, id DESC"));
    q.addBindValue(name.value(0).toString());
    exec(q);
    while (q.next()) {
        const JournalEntry e = entry(q);
        const QString ip = e.targetAddress.section(QLatin1Char('/'), 0, 0);
        if (e.targetName == name.value(0).toString() || addresses.contains(ip) || addresses.contains(e.targetAddress))
            list.append(e);
    }
    return list;
}

QList<Ban> BansOn(const QString& server)
{
    if (!readable())
        return {};
    QSqlQuery q = query(BanColumns + QStringLiteral("WHERE server = ? ORDER BY lifted IS NOT NULL, created DESC"));
    q.addBindValue(server);
    return rows(q, ban);
}

QList<Ban> DueBans(qint64 now, const QString& claimant)
{
    if (!readable())
        return {};
    QSqlQuery q = query(BanColumns + QStringLiteral("WHERE lifted IS NULL AND expires <= ? AND (claimed_at IS NULL OR claimed_at < ? OR claimed_by = ?) "
                                                    "ORDER BY expires"));
    q.addBindValue(now);
    q.addBindValue(now - qint64(ClaimMinutes) * 60 * 1000);
    q.addBindValue(claimant);
    return rows(q, ban);
}

bool ClaimBan(qint64 banId, const QString& claimant)
{
    if (!readable())
        return false;
    const qint64 now = Now();
    // One statement, so one transaction: of several programs, the first to lock the row has it;
    // the others skip it (the team database) or find it claimed (the file's write lock).
    QSqlQuery q = query(QStringLiteral("UPDATE bans SET claimed_by = ?, claimed_at = ? WHERE id = (SELECT id FROM bans WHERE id = ? "
                                       "AND lifted IS NULL AND (claimed_at IS NULL OR claimed_at < ? OR claimed_by = ?)")
        + Dialect::SkipLocked(Connection()) + QStringLiteral(") RETURNING id"));
    q.addBindValue(claimant);
    q.addBindValue(now);
    q.addBindValue(banId);
    q.addBindValue(now - qint64(ClaimMinutes) * 60 * 1000);
    q.addBindValue(claimant);
    return exec(q) && q.next();
}

qint64 NextExpiry()
{
    if (!readable())
        return 0;
    QSqlQuery q = query(QStringLiteral("SELECT min(expires) FROM bans WHERE lifted IS NULL AND expires IS NOT NULL"));
    return exec(q) && q.next() ? q.value(0).toLongLong() : 0;
}

QString TimeText(qint64 ms)
{
    return ms > 0 ? QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

QString PlayedText(qint64 ms)
{
    const qint64 s = ms / 1000;
    return QString::number(s / 3600) + QLatin1Char(':') + QString::number(s / 60 % 60).rightJustified(2, QLatin1Char('0')) + QLatin1Char(':')
        + QString::number(s % 60).rightJustified(2, QLatin1Char('0'));
}

}
