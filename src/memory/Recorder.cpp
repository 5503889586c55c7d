#include "memory/Recorder.h"

#include "console/ColourCodes.h"
#include "console/ExchangeObserver.h"
#include "console/ServerExchange.h"
#include "log/LogText.h"
#include "memory/Dialect.h"
#include "memory/MemoryDatabase.h"
#include "memory/TeamWatch.h"
#include "players/PlayerCommands.h"
#include "players/StatusTable.h"
#include "console/StatusResponse.h"

#include <QCoreApplication>
#include <QHash>
#include <QMutex>
#include <QPointer>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QDataStream>
#include <QThread>
#include <QUuid>
#include <QVariant>
#include <QWaitCondition>

namespace Recorder {
namespace {

struct Sighting {
    QString name;
    QString ip;       // empty when the answer gives none
    int client = -1;  // -1 when the answer gives none
};

// The first word of a command, in lower case, and the rest.
QString firstWord(const QString& command, QString* rest = nullptr)
{
    const QString t = command.trimmed();
    const int space = int(t.indexOf(QLatin1Char(' ')));
    if (rest)
        *rest = space < 0 ? QString() : t.mid(space + 1).trimmed();
    return (space < 0 ? t : t.left(space)).toLower();
}

QVariant orNull(const QString& text)
{
    return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

class Writes {
public:
    explicit Writes(QSqlDatabase& db)
        : m_db(db)
    {
    }

    bool observation(const Observation& o)
    {
        if (!o.automatic && o.wentOut && !o.outOfBand && !journal(o))
            return false;
        if (o.outcome != ExchangeOutcome::Answered)
            return true;
        QString rest;
        const QString word = firstWord(o.command, &rest);
        if (o.outOfBand) {
            if (word != QLatin1String("getstatus") || o.datagrams.isEmpty())
                return true;
            const StatusResponse status = ReadStatusResponse(o.datagrams.first());
            if (!status.valid)
                return true;
            QList<Sighting> seen;
            for (const StatusPlayer& p : status.players) {
                if (p.ping != 0)  // ping 0: a bot
                    seen.append({p.name, QString(), -1});
            }
            return sightings(o.server, o.time, seen);
        }
        if (word == QLatin1String("status")) {
            const StatusTable table = ReadStatusTable(StatusReplyText(o.datagrams));
            if (!table.found)
                return true;
            QList<Sighting> seen;
            for (const PlayerRow& row : table.rows) {
                if (!row.isBot())
                    seen.append({row.name, AddressIp(row.address), row.client});
            }
            return sightings(o.server, o.time, seen);
        }
        if (o.automatic)
            return true;
        // A server without the command, or one that refuses the address, changed nothing.
        const bool refused = o.text.contains(QLatin1String("Unknown command"), Qt::CaseInsensitive)
            || o.text.contains(QLatin1String("Error"), Qt::CaseInsensitive) || o.text.contains(QLatin1String("Invalid"), Qt::CaseInsensitive);
        if (word == QLatin1String("banaddr") && !refused)
            return banned(o, Memory::BanTarget(rest));
        if (word == QLatin1String("bandel") && !refused)
            return lifted(o.server, Memory::BanTarget(rest), o.time, o.admin, o.expiry ? QStringLiteral("expired") : QStringLiteral("removed"));
        return true;
    }

    bool journal(const Observation& o)
    {
        // A ban command concerns its address and prefix, whoever sent it.
        QString rest;
        const QString word = firstWord(o.command, &rest);
        static const QStringList banCommands = {QStringLiteral("banaddr"), QStringLiteral("bandel"), QStringLiteral("exceptaddr"),
            QStringLiteral("exceptdel")};
        const QString address = o.targetAddress.isEmpty() && banCommands.contains(word) ? Memory::BanTarget(rest) : o.targetAddress;
        // An entry sent twice (the outbox's, when the answer to its first sending was lost) is
        // kept once.
        QSqlQuery& q = statement(QStringLiteral("INSERT INTO journal(time, server, command, admin, outcome, target_name, target_address, reason, "
                                 "desktop, origin) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT(origin) DO NOTHING"));
        q.addBindValue(o.time);
        q.addBindValue(o.server);
        q.addBindValue(MaskPasswords(o.command));
        q.addBindValue(o.admin);
        q.addBindValue(ExchangeOutcome::words(ExchangeOutcome::Kind(o.outcome)));
        q.addBindValue(orNull(o.targetName));
        q.addBindValue(orNull(address));
        q.addBindValue(orNull(o.reason));
        q.addBindValue(orNull(o.desktop));
        q.addBindValue(orNull(o.origin));
        return exec(q);
    }

    bool banned(const Observation& o, const QString& target)
    {
        if (target.isEmpty())
            return true;
        QSqlQuery& q = statement(QStringLiteral("INSERT INTO bans(server, target, reason, admin, created, expires) VALUES(?, ?, ?, ?, ?, ?) "
                                 "ON CONFLICT(server, target) WHERE lifted IS NULL DO UPDATE SET reason = excluded.reason, "
                                 "admin = excluded.admin, created = excluded.created, expires = excluded.expires"));
        q.addBindValue(o.server);
        q.addBindValue(target);
        q.addBindValue(o.reason);
        q.addBindValue(o.admin);
        q.addBindValue(o.time);
        q.addBindValue(o.expiresAt > 0 ? QVariant(o.expiresAt) : QVariant(QMetaType::fromType<qint64>()));
        return exec(q);
    }

    bool lifted(const QString& server, const QString& target, qint64 time, const QString& admin, const QString& how)
    {
        if (target.isEmpty())
            return true;
        QSqlQuery& q = statement(QStringLiteral("UPDATE bans SET lifted = ?, lifted_by = ?, lifted_how = ? WHERE server = ? AND target = ? AND lifted IS NULL"));
        q.addBindValue(time);
        q.addBindValue(admin);
        q.addBindValue(how);
        q.addBindValue(server);
        q.addBindValue(target);
        return exec(q);
    }

    bool sightings(const QString& server, qint64 time, const QList<Sighting>& seen)
    {
        QSet<qint64> present;
        for (const Sighting& s : seen) {
            const qint64 nameId = upsertName(s.name, time);
            if (nameId < 0)
                return false;
            qint64 addressId = -1;
            if (!s.ip.isEmpty()) {
                addressId = upsertAddress(s.ip);
                if (addressId < 0 || !link(nameId, addressId, time))
                    return false;
            }
            if (!extend(server, nameId, addressId, s.client, time))
                return false;
            present.insert(nameId);
        }
        // Whoever the server no longer lists has left; an answer older than what another
        // process recorded meanwhile ends nothing.
        QSqlQuery& open = statement(QStringLiteral("SELECT id, name_id FROM sessions INDEXED BY sessions_open WHERE server = ? AND open = 1 AND last_seen < ?"));
        open.addBindValue(server);
        open.addBindValue(time);
        if (!exec(open))
            return false;
        QList<qint64> gone;
        while (open.next()) {
            if (!present.contains(open.value(1).toLongLong()))
                gone.append(open.value(0).toLongLong());
        }
        for (qint64 id : gone) {
            if (!close(id))
                return false;
        }
        return true;
    }

    // Every statement cached still, ended: nothing holds a read open past the transaction.
    void endStatements()
    {
        for (QSqlQuery& q : m_statements)
            q.finish();
    }

    QSqlDatabase& db() { return m_db; }
    // The connection was opened anew: its prepared statements are gone.
    void reset() { m_statements.clear(); }

private:
    // A statement prepared once for the writer's connection, its bound values cleared.
    QSqlQuery& statement(const QString& sql)
    {
        auto it = m_statements.find(sql);
        if (it == m_statements.end()) {
            it = m_statements.insert(sql, QSqlQuery(m_db));
            it->prepare(Memory::Dialect::Sql(m_db, sql));
        }
        return *it;
    }

    bool exec(QSqlQuery& q)
    {
        // A server's bytes may hold a NUL, which no PostgreSQL text can: a statement that
        // held one would be refused, and the outbox stopped behind it for ever. It is kept as
        // U+FFFD in either memory, so that a name is the same one in both.
        const QVariantList values = q.boundValues();
        for (int i = 0; i < values.size(); ++i) {
            if (values.at(i).typeId() == QMetaType::QString && values.at(i).toString().contains(QChar(0)))
                q.bindValue(i, values.at(i).toString().replace(QChar(0), QChar::ReplacementCharacter));
        }
        if (q.exec())
            return true;
        m_error = q.lastError().text();
        m_state = q.lastError().nativeErrorCode();
        return false;
    }

    qint64 upsertName(const QString& name, qint64 time)
    {
        QSqlQuery& q = statement(QStringLiteral("INSERT INTO names(name, plain, folded, first_seen, last_seen) VALUES(?, ?, ?, ?, ?) "
                                 "ON CONFLICT(name) DO UPDATE SET last_seen = GREATEST(names.last_seen, excluded.last_seen) RETURNING id"));
        q.addBindValue(name);
        q.addBindValue(ColourCodes::Strip(name));
        q.addBindValue(Memory::FoldName(name));
        q.addBindValue(time);
        q.addBindValue(time);
        return exec(q) && q.next() ? q.value(0).toLongLong() : -1;
    }

    qint64 upsertAddress(const QString& ip)
    {
        QSqlQuery& q = statement(QStringLiteral("INSERT INTO addresses(ip, key) VALUES(?, ?) ON CONFLICT(ip) DO UPDATE SET key = excluded.key RETURNING id"));
        q.addBindValue(ip);
        q.addBindValue(Memory::AddressKey(ip));
        return exec(q) && q.next() ? q.value(0).toLongLong() : -1;
    }

    bool link(qint64 nameId, qint64 addressId, qint64 time)
    {
        QSqlQuery& q = statement(QStringLiteral("INSERT INTO name_address(name_id, address_id, first_seen, last_seen) VALUES(?, ?, ?, ?) "
                                 "ON CONFLICT(name_id, address_id) DO UPDATE SET last_seen = GREATEST(name_address.last_seen, excluded.last_seen), "
                                 "first_seen = LEAST(name_address.first_seen, excluded.first_seen)"));
        q.addBindValue(nameId);
        q.addBindValue(addressId);
        q.addBindValue(time);
        q.addBindValue(time);
        return exec(q);
    }

    bool close(qint64 sessionId)
    {
        QSqlQuery& q = statement(QStringLiteral("UPDATE sessions SET open = 0 WHERE id = ?"));
        q.addBindValue(sessionId);
        return exec(q);
    }

    // The player's open session on the server goes on to `time`; a new one begins when there
    // is none, when it was last seen too long ago, or at another address.
    bool extend(const QString& server, qint64 nameId, qint64 addressId, int client, qint64 time)
    {
        QSqlQuery& q = statement(QStringLiteral("SELECT id, last_seen, address_id FROM sessions WHERE server = ? AND name_id = ? AND open = 1"));
        q.addBindValue(server);
        q.addBindValue(nameId);
        if (!exec(q))
            return false;
        if (q.next()) {
            const qint64 id = q.value(0).toLongLong();
            const qint64 last = q.value(1).toLongLong();
            const bool otherAddress = addressId >= 0 && !q.value(2).isNull() && q.value(2).toLongLong() != addressId;
            const bool stale = time - last > qint64(SessionGapMinutes) * 60 * 1000;
            if (!otherAddress && !stale) {
                QSqlQuery& u = statement(QStringLiteral("UPDATE sessions SET last_seen = GREATEST(last_seen, ?), address_id = coalesce(?, address_id), "
                                         "client = coalesce(?, client) WHERE id = ?"));
                u.addBindValue(time);
                u.addBindValue(addressId >= 0 ? QVariant(addressId) : QVariant(QMetaType::fromType<qint64>()));
                u.addBindValue(client >= 0 ? QVariant(client) : QVariant(QMetaType::fromType<int>()));
                u.addBindValue(id);
                return exec(u);
            }
            if (last >= time)
                return true;  // another process saw the newer state already
            if (!close(id))
                return false;
        }
        // Unique while open: what another program opened meanwhile is the same session.
        QSqlQuery& i = statement(QStringLiteral("INSERT INTO sessions(server, name_id, address_id, client, first_seen, last_seen) VALUES(?, ?, ?, ?, ?, ?) "
                                 "ON CONFLICT(server, name_id) WHERE open = 1 DO UPDATE SET last_seen = GREATEST(sessions.last_seen, excluded.last_seen)"));
        i.addBindValue(server);
        i.addBindValue(nameId);
        i.addBindValue(addressId >= 0 ? QVariant(addressId) : QVariant(QMetaType::fromType<qint64>()));
        i.addBindValue(client >= 0 ? QVariant(client) : QVariant(QMetaType::fromType<int>()));
        i.addBindValue(time);
        i.addBindValue(time);
        return exec(i);
    }

public:
    QString m_error;
    QString m_state;  // the failed statement's SQLSTATE

private:
    QSqlDatabase& m_db;
    QHash<QString, QSqlQuery> m_statements;
};

// A record of what to write, as the outbox keeps it: an observation, or a ban lifted elsewhere.
enum RecordKind : quint8 { ObservationRecord = 1, LiftedElsewhereRecord = 2 };

// Only what writing needs goes into the record, as the outbox keeps it in a file: the command
// with its password values masked, the answer's datagrams of a status read alone, and the text
// of a ban's answer alone (an answer such as cvarlist's holds the server's passwords).
QByteArray encode(Observation o)
{
    const QString word = firstWord(o.command);
    o.command = MaskPasswords(o.command);
    if (word != QLatin1String("status") && word != QLatin1String("getstatus"))
        o.datagrams.clear();
    if (word != QLatin1String("banaddr") && word != QLatin1String("bandel"))
        o.text.clear();
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << quint8(ObservationRecord) << o.time << o.server << o.command << o.outOfBand << o.automatic << o.wentOut << qint32(o.outcome)
        << o.datagrams << o.text << o.admin << o.desktop << o.origin << o.targetName << o.targetAddress << o.reason << o.expiresAt << o.expiry;
    return bytes;
}

QByteArray encodeLiftedElsewhere(qint64 banId, qint64 time)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << quint8(LiftedElsewhereRecord) << banId << time;
    return bytes;
}

// Writes a record; false (with the writer's error) when it could not be written. A record this
// program cannot read is passed over.
bool apply(Writes& writes, const QByteArray& record)
{
    QDataStream in(record);
    in.setVersion(QDataStream::Qt_6_0);
    quint8 kind = 0;
    in >> kind;
    if (kind == LiftedElsewhereRecord) {
        qint64 banId = 0, time = 0;
        in >> banId >> time;
        QSqlQuery q(writes.db());
        q.prepare(QStringLiteral("UPDATE bans SET lifted = ?, lifted_how = 'lifted elsewhere' WHERE id = ? AND lifted IS NULL"));
        q.addBindValue(time);
        q.addBindValue(banId);
        if (q.exec())
            return true;
        writes.m_error = q.lastError().text();
        writes.m_state = q.lastError().nativeErrorCode();
        return false;
    }
    Observation o;
    qint32 outcome = 0;
    in >> o.time >> o.server >> o.command >> o.outOfBand >> o.automatic >> o.wentOut >> outcome >> o.datagrams >> o.text >> o.admin >> o.desktop
        >> o.origin >> o.targetName >> o.targetAddress >> o.reason >> o.expiresAt >> o.expiry;
    o.outcome = outcome;
    if (kind != ObservationRecord || in.status() != QDataStream::Ok)
        return true;
    return writes.observation(o);
}

bool runAll(QSqlQuery& q, const QStringList& statements)
{
    for (const QString& s : statements) {
        if (!q.exec(s))
            return false;
    }
    return true;
}

// The thread that writes: takes everything waiting, writes it in one transaction. For a team
// database, everything goes first into the local file's outbox, which is then sent in order,
// in transactions of a few hundred records, each taken out of the outbox once the team
// database has it; while the server is away, sending is tried again after a growing pause.
class Writer : public QThread {
public:
    // A team's writer first sends what its outbox holds: until then it is busy (see flush).
    Writer(int keepDays)
        : m_busy(true)
        , m_keepDays(keepDays)
    {
    }
    void hand(QByteArray record)
    {
        QMutexLocker locked(&m_lock);
        m_waiting.append(std::move(record));
        m_wake.wakeAll();
    }
    void flush()
    {
        QMutexLocker locked(&m_lock);
        while (!m_waiting.isEmpty() || m_busy)
            m_done.wait(&m_lock);
    }
    void finish()
    {
        {
            QMutexLocker locked(&m_lock);
            m_stopping = true;
            m_wake.wakeAll();
        }
        wait();
    }
    void retryNow()
    {
        QMutexLocker locked(&m_lock);
        m_retry = true;
        m_wake.wakeAll();
    }
    Memory::TeamState state()
    {
        QMutexLocker locked(&m_lock);
        return m_state;
    }
    std::function<void(const QString&)> failed;  // called on this thread
    std::function<void()> wrote;
    std::function<void(const QString& why)> refused;  // a record set aside
    std::function<void(const Memory::TeamState& before, const Memory::TeamState& now)> stateChanged;

protected:
    void run() override
    {
        {
            QSqlDatabase local = Memory::LocalConnection();
            Writes localWrites(local);
            if (Memory::IsTeam()) {
                m_target = Memory::TeamName(Memory::Target());
                QSqlDatabase team = Memory::Connection();
                Writes teamWrites(team);
                m_prepared = team.isOpen();
                loop(localWrites, &teamWrites);
            } else {
                loop(localWrites, nullptr);
            }
        }
        Memory::Disconnect();
    }

private:
    static constexpr int FirstPauseMs = 500, LongestPauseMs = 10000;
    static constexpr int RefusalsBeforeSetAside = 3;

    void loop(Writes& local, Writes* team)
    {
        if (team) {
            m_state.team = true;
            drain(local, *team);
        }
        {
            QMutexLocker locked(&m_lock);
            m_busy = false;
            m_done.wakeAll();
        }
        for (;;) {
            QList<QByteArray> batch;
            {
                QMutexLocker locked(&m_lock);
                const bool waitingToSend = team && m_state.waiting > 0 && !m_stopping;
                while (m_waiting.isEmpty() && !m_stopping && !m_retry) {
                    if (waitingToSend ? !m_wake.wait(&m_lock, m_pauseMs) : !m_wake.wait(&m_lock))
                        break;  // the pause is over: the outbox is tried again
                }
                if (m_waiting.isEmpty() && m_stopping)
                    break;
                m_retry = false;
                batch.swap(m_waiting);
                m_busy = true;
            }
            if (team) {
                keep(local, batch);
                drain(local, *team);
            } else {
                write(local, batch);
            }
            QMutexLocker locked(&m_lock);
            m_busy = false;
            m_done.wakeAll();
        }
    }

    // Writes a batch into a memory in one transaction: true once all of it is written.
    bool write(Writes& writes, const QList<QByteArray>& batch)
    {
        QSqlDatabase& db = writes.db();
        QSqlQuery q(db);
        // The write lock from the start: two processes never both read, then both insert.
        if (!db.isOpen() || !runAll(q, Memory::Dialect::BeginWrite(db))) {
            failed(db.isOpen() ? q.lastError().text() : db.lastError().text());
            return false;
        }
        bool all = true;
        for (const QByteArray& record : batch)
            all = apply(writes, record) && all;
        writes.endStatements();
        if (!q.exec(QStringLiteral("COMMIT"))) {
            const QString why = q.lastError().text();
            q.exec(QStringLiteral("ROLLBACK"));
            failed(why);
            return false;
        }
        if (all)
            wrote();
        return all;
    }

    // The batch's records into the outbox.
    void keep(Writes& local, const QList<QByteArray>& batch)
    {
        QSqlDatabase& db = local.db();
        QSqlQuery q(db);
        if (!runAll(q, Memory::Dialect::BeginWrite(db))) {
            failed(q.lastError().text());
            return;
        }
        q.prepare(QStringLiteral("INSERT INTO outbox(target, record) VALUES(?, ?)"));
        bool ok = true;
        for (const QByteArray& record : batch) {
            q.addBindValue(m_target);
            q.addBindValue(record);
            ok = ok && q.exec();
        }
        const QString why = q.lastError().text();
        if (!ok || !q.exec(QStringLiteral("COMMIT"))) {
            q.exec(QStringLiteral("ROLLBACK"));
            failed(why.isEmpty() ? q.lastError().text() : why);
        }
    }

    // The team database open, its schema checked once a connection.
    bool connected(Writes& team)
    {
        QSqlDatabase& db = team.db();
        if (!db.isOpen()) {
            m_prepared = false;
            team.reset();
            if (!db.open()) {
                m_why = db.lastError().text();
                return false;
            }
        }
        if (!m_prepared) {
            Memory::TeamWatch watch(db);
            QString why;
            if (!Memory::Prepare(db, m_keepDays, &why)) {
                // A schema newer than this program's is never written: the outbox keeps all.
                m_why = why;
                team.reset();
                db.close();
                return false;
            }
            m_prepared = true;
        }
        return true;
    }

    // Sends the outbox in order, while the team database takes it.
    void drain(Writes& local, Writes& team)
    {
        bool sent = connected(team);
        bool refusedNow = false;  // a record refused, the connection fine
        QSqlDatabase& db = team.db();
        QSqlQuery read(local.db());
        read.setForwardOnly(true);
        read.prepare(QStringLiteral("SELECT id, record FROM outbox WHERE target = ? ORDER BY id LIMIT 500"));
        QSqlQuery done(local.db());
        done.prepare(QStringLiteral("DELETE FROM outbox WHERE target = ? AND id <= ?"));
        while (sent) {
            read.addBindValue(m_target);
            if (!read.exec())
                break;
            qint64 last = -1;
            QList<QPair<qint64, QByteArray>> records;  // outbox id, record
            while (read.next()) {
                last = read.value(0).toLongLong();
                records.append({last, read.value(1).toByteArray()});
            }
            read.finish();
            if (records.isEmpty())
                break;
            Memory::TeamWatch watch(db);
            QSqlQuery q(db);
            sent = runAll(q, Memory::Dialect::BeginWrite(db));
            int refusedAt = -1;  // the record whose statement failed
            for (int i = 0; sent && i < records.size(); ++i) {
                sent = apply(team, records.at(i).second);
                refusedAt = sent ? -1 : i;
            }
            team.endStatements();
            sent = sent && q.exec(QStringLiteral("COMMIT"));
            if (!sent) {
                m_why = team.m_error.isEmpty() ? (q.lastError().text().isEmpty() ? db.lastError().text() : q.lastError().text()) : team.m_error;
                const QString state = team.m_state;
                team.m_error.clear();
                team.m_state.clear();
                // The connection answers still, and the statement was refused for what it held:
                // the record, not the server, is at fault.
                const bool answers = q.exec(QStringLiteral("ROLLBACK"));
                if (Memory::Dialect::Lost(db, m_why) || !db.isOpen()) {
                    team.reset();
                    db.close();
                } else if (refusedAt >= 0 && answers && Memory::Dialect::RecordRefused(db, state)) {
                    const qint64 id = records.at(refusedAt).first;
                    m_refusals = id == m_refusedId ? m_refusals + 1 : 1;
                    m_refusedId = id;
                    refusedNow = true;
                    if (m_refusals >= RefusalsBeforeSetAside) {
                        setAside(local, id, records.at(refusedAt).second, m_why);
                        sent = true;
                        continue;  // the outbox goes on with the next record
                    }
                } else {
                    failed(m_why);  // the server refused the batch: said once, tried again later
                }
                break;
            }
            done.addBindValue(m_target);
            done.addBindValue(last);
            done.exec();
            wrote();
        }
        publish(local, sent || refusedNow);
    }

    // A record the team database refused again and again, out of the outbox's way: written
    // into the local file's own memory (its journal shows it), else kept in the outbox under
    // a target of its own; said once.
    void setAside(Writes& local, qint64 id, const QByteArray& record, const QString& why)
    {
        QSqlQuery q(local.db());
        if (write(local, {record}))
            q.prepare(QStringLiteral("DELETE FROM outbox WHERE id = ?"));
        else
            q.prepare(QStringLiteral("UPDATE outbox SET target = 'refused by ' || target WHERE id = ?"));
        q.addBindValue(id);
        q.exec();
        m_refusals = 0;
        if (refused)
            refused(why);
    }

    // The team database's state, told when it changed.
    void publish(Writes& local, bool reachable)
    {
        Memory::SetReachable(reachable);
        QSqlQuery count(local.db());
        count.prepare(QStringLiteral("SELECT count(*) FROM outbox WHERE target = ?"));
        count.addBindValue(m_target);
        const int waiting = count.exec() && count.next() ? count.value(0).toInt() : 0;
        Memory::TeamState before, now;
        {
            QMutexLocker locked(&m_lock);
            now = m_state;
            now.team = true;
            now.reachable = reachable;
            now.unreachableSince = reachable ? 0 : (m_state.reachable ? Memory::Now() : m_state.unreachableSince);
            now.waiting = waiting;
            m_pauseMs = reachable ? FirstPauseMs : qMin(LongestPauseMs, m_state.reachable ? FirstPauseMs : m_pauseMs * 2);
            if (now == m_state)
                return;
            before = m_state;
            m_state = now;
        }
        if (stateChanged)
            stateChanged(before, now);
    }

    QMutex m_lock;
    QWaitCondition m_wake, m_done;
    QList<QByteArray> m_waiting;
    bool m_busy;
    bool m_stopping = false;
    bool m_retry = false;
    const int m_keepDays;
    QString m_target;
    bool m_prepared = false;
    QString m_why;
    int m_pauseMs = FirstPauseMs;
    qint64 m_refusedId = -1;  // the outbox's record last refused, and how many times in a row
    int m_refusals = 0;
    Memory::TeamState m_state;
};

Writer* writer = nullptr;
QString admin;
QString desktop;  // read once, with the admin's name, when recording starts
std::function<void(const QString&)> teller;
QAtomicInt problemTold = 0;  // 1 once a failure was told, until a write works again

// A line for the admin, from the writer's thread.
void tellLine(const QString& line)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), [line] {
        if (teller)
            teller(line);
    }, Qt::QueuedConnection);
}

void tellFromWriter(const QString& why)
{
    if (!problemTold.testAndSetRelaxed(0, 1))
        return;
    tellLine(QObject::tr("The memory of players and actions cannot be written (%1); what happens meanwhile is not recorded.").arg(why));
}

void observed(const ExchangeRequest& request, const ExchangeOutcome& outcome, bool wentOut)
{
    const bool automatic = request.priority == ExchangeRequest::Priority::Automatic;
    const QString word = firstWord(request.command);
    // Only what can be recorded is handed over: the reads that give players, and commands.
    const bool read = outcome.kind == ExchangeOutcome::Answered
        && (request.outOfBand ? word == QLatin1String("getstatus") : word == QLatin1String("status"));
    const bool command = !automatic && wentOut && !request.outOfBand;
    if (!read && !command)
        return;
    Observation o;
    o.time = Memory::Now();
    o.server = Memory::ServerKey(request.host, request.port);
    o.command = request.command;
    o.outOfBand = request.outOfBand;
    o.automatic = automatic;
    o.wentOut = wentOut;
    o.outcome = outcome.kind;
    o.datagrams = outcome.datagrams;
    o.admin = admin;
    o.desktop = desktop;
    o.origin = QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (command) {
        o.text = outcome.text;
        const JournalNote note = TakeNote(request.host, request.port, request.command);
        o.targetName = note.name;
        o.targetAddress = note.address;
        o.reason = note.reason;
        o.expiresAt = note.expiresAt;
        o.expiry = note.expiry;
    }
    Observe(o);
}
}

RecorderSignals* Signals()
{
    // Lives as long as the process, on the application's thread whichever thread asks first
    // (the writer's, that ends, when nothing asked before it): its signals are delivered there.
    static RecorderSignals* s = [] {
        auto* made = new RecorderSignals;
        if (QCoreApplication::instance())
            made->moveToThread(QCoreApplication::instance()->thread());
        return made;
    }();
    return s;
}

void Start(std::function<void(const QString& line)> tell)
{
    if (writer)
        return;
    teller = std::move(tell);
    const Memory::Opening opening = Memory::Open(Memory::KeepDays());
    if (!opening.notice.isEmpty() && teller)
        teller(opening.notice);
    if (!opening.usable)
        return;
    admin = Memory::AdminName();
    desktop = Memory::DesktopName();
    problemTold = 0;
    writer = new Writer(Memory::KeepDays());
    writer->stateChanged = [](const Memory::TeamState& before, const Memory::TeamState& now) {
        QMetaObject::invokeMethod(Signals(), [before, now] {
            emit Signals()->teamStateChanged(now);
            const QString note = Memory::TeamStateNote(before, now);
            if (!note.isEmpty())
                emit Signals()->teamNote(note);
        }, Qt::QueuedConnection);
    };
    writer->failed = tellFromWriter;
    writer->refused = [](const QString& why) {
        // The server's own words, their first line (PostgreSQL adds its context on the next).
        tellLine(QObject::tr("the team database refused a record: %1; it is kept in the local file").arg(why.section(QLatin1Char('\n'), 0, 0)));
    };
    writer->wrote = [] {
        problemTold.storeRelaxed(0);
        QMetaObject::invokeMethod(Signals(), &RecorderSignals::written, Qt::QueuedConnection);
    };
    writer->start();
    SetExchangeObserver(observed);
}

void Stop()
{
    if (!writer)
        return;
    SetExchangeObserver({});
    writer->finish();
    const bool team = writer->state().team;
    delete writer;
    writer = nullptr;
    teller = nullptr;
    if (team)  // what the writer told of the team database is over
        emit Signals()->teamStateChanged(Memory::TeamState());
}

bool IsRecording()
{
    return writer != nullptr;
}

void Flush()
{
    if (writer)
        writer->flush();
}

void Observe(const Observation& observation)
{
    if (!writer)
        return;
    writer->hand(encode(observation));
}

void MarkLiftedElsewhere(qint64 banId)
{
    if (writer)
        writer->hand(encodeLiftedElsewhere(banId, Memory::Now()));
}

Memory::TeamState TeamStatus()
{
    return writer ? writer->state() : Memory::TeamState();
}

void SendNow()
{
    if (writer)
        writer->retryNow();
}

QString TitleWithTeamState(const QString& title)
{
    const QString line = Memory::TeamStateLine(TeamStatus());
    return line.isEmpty() ? title : title + QStringLiteral(" - ") + line;
}

}
