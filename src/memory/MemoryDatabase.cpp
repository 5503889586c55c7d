#include "memory/MemoryDatabase.h"

#include "console/ColourCodes.h"
#include "memory/DatabaseChoice.h"
#include "memory/Dialect.h"
#include "memory/TeamWatch.h"
#include "console/ServerAddress.h"
#include "settings/OwnFiles.h"
#include "settings/SettingsStore.h"
#include "settings/UserDataFolder.h"

#include <QAtomicInteger>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QMutex>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QSysInfo>
#include <QThread>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Memory {

const QString FileName = QStringLiteral("memory.sqlite");

namespace {
QMutex lock;
bool tried = false;
Opening opened;
QString path;
QStringList connectionNames;  // every thread's, to remove them on Forget()
QAtomicInteger<qint64> clockOffset = 0;
DatabaseTarget target;  // team: the memory is on that server, `path` holds its outbox
QString teamPassword;   // in this process's memory only
bool teamOpen = false;
QAtomicInt reachable = 1;

QString connectionName(const char* kind = "memory")
{
    return QStringLiteral("telmorax-%1-").arg(QLatin1String(kind)) + QString::number(quintptr(QThread::currentThreadId()));
}

QSqlDatabase teamConnection(const QString& name)
{
    return TeamConnection(target, teamPassword, name);
}

QSqlDatabase openConnection(const QString& name, const QString& file)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(file);
    // Another process holding the write lock is waited for, not failed.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    if (db.open()) {
        QSqlQuery q(db);
        q.exec(QStringLiteral("PRAGMA foreign_keys=OFF"));
        q.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    }
    return db;
}

bool run(QSqlQuery& q, const QStringList& statements, QString* why)
{
    for (const QString& statement : statements) {
        if (!statement.startsWith(QLatin1Char('?'))) {
            if (!q.exec(statement)) {
                *why = q.lastError().text();
                return false;
            }
            continue;
        }
        // A step the schema is whole without (the team server's trigram index, where its
        // pg_trgm may not be had): tried within a savepoint.
        q.exec(QStringLiteral("SAVEPOINT optional"));
        if (q.exec(statement.mid(1)))
            q.exec(QStringLiteral("RELEASE SAVEPOINT optional"));
        else
            q.exec(QStringLiteral("ROLLBACK TO SAVEPOINT optional"));
    }
    return true;
}

// Sightings past their keeping time go; the journal and the bans stay.
void prune(QSqlDatabase& db, int keepDays)
{
    QSqlQuery q(db);
    const qint64 before = Now() - qint64(keepDays) * 24 * 3600 * 1000;
    q.prepare(QStringLiteral("DELETE FROM sessions WHERE last_seen < ? AND open = 0"));
    q.addBindValue(before);
    q.exec();
    q.prepare(QStringLiteral("DELETE FROM name_address WHERE last_seen < ?"));
    q.addBindValue(before);
    q.exec();
}

}

bool Prepare(QSqlDatabase& db, int keepDays, QString* why)
{
    const Dialect::Engine engine = Dialect::Of(db);
    const bool team = engine == Dialect::Engine::PostgreSQL;
    QSqlQuery q(db);
    if (!team && (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !q.next() || !q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !q.next())) {
        *why = q.lastError().text();
        return false;
    }
    // Several programs may start at once: the first one to hold the lock makes the schema or
    // brings it forward, the others find it done.
    if (!run(q, Dialect::BeginWrite(db), why))
        return false;
    if (team)
        q.exec(QStringLiteral("SET LOCAL client_min_messages = warning"));  // no notice of a table there already
    const QString read = team ? QStringLiteral("SELECT coalesce(max(version), 0) FROM telmorax_schema") : QStringLiteral("PRAGMA user_version");
    bool ok = (!team || q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS telmorax_schema(version INTEGER NOT NULL)")))
        && q.exec(read) && q.next();
    const int now = ok ? q.value(0).toInt() : -1;
    if (ok && now > SchemaVersion) {
        *why = QObject::tr("it was written by a newer version of the program");
        q.exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    for (int step = now + 1; ok && step <= SchemaVersion; ++step)
        ok = run(q, Dialect::SchemaStep(engine, step), why);
    if (ok && now < SchemaVersion) {
        ok = team ? q.exec(QStringLiteral("DELETE FROM telmorax_schema")) && q.exec(QStringLiteral("INSERT INTO telmorax_schema VALUES(%1)").arg(SchemaVersion))
                  : q.exec(QStringLiteral("PRAGMA user_version=%1").arg(SchemaVersion));
    }
    if (!ok || !q.exec(QStringLiteral("COMMIT"))) {
        if (why->isEmpty())
            *why = q.lastError().text();
        q.exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    // A team's sightings are shared: one admin's shorter setting does not shorten them for all.
    prune(db, team ? qMax(keepDays, DefaultKeepDays) : keepDays);
    return true;
}

namespace {

QString asideName(const QString& file)
{
    QString name = file + QStringLiteral(".damaged");
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = file + QStringLiteral(".damaged-") + QString::number(n);
    return name;
}

// The file there is a regular file of this user's, or nothing; its write-ahead companions
// too. Creates the file, owner only, when missing.
bool placeIsOurs(const QString& file)
{
    for (const QString& companion : {file + QStringLiteral("-wal"), file + QStringLiteral("-shm")}) {
        if (OwnFiles::Look(companion, std::numeric_limits<qint64>::max()) == OwnFiles::Place::Other)
            return false;
    }
    if (OwnFiles::Look(file, std::numeric_limits<qint64>::max()) == OwnFiles::Place::Other)
        return false;
    const int fd = OwnFiles::OpenForAppend(file);  // regular, never through a link; 0600 when made
    if (fd < 0)
        return false;
    struct stat st;
    const bool mine = ::fstat(fd, &st) == 0 && st.st_uid == ::geteuid();
    if (mine)
        ::fchmod(fd, 0600);
    ::close(fd);
    return mine;
}

Opening openFile(int keepDays)
{
    Opening o;
    const QString file = UserDataFolder() + QLatin1Char('/') + FileName;
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) {
        o.notice = QObject::tr("The memory of players and actions is off: Qt's SQLite driver (libqt6sql6-sqlite) is not installed.");
        return o;
    }
    if (!MakeUserDataFolder() || !placeIsOurs(file)) {
        o.notice = QObject::tr("The memory of players and actions in %1 is not a file of yours alone, and is left as it is: "
                               "nothing is recorded.")
                       .arg(file);
        return o;
    }
    const QString name = connectionName();
    QString why;
    bool ok = false;
    {
        QSqlDatabase db = openConnection(name, file);
        ok = db.isOpen() && Prepare(db, keepDays, &why);
        if (!db.isOpen())
            why = db.lastError().text();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (ok) {
        path = file;
        o.usable = true;
        return o;
    }
    if (why.contains(QLatin1String("newer version"))) {
        o.notice = QObject::tr("The memory of players and actions in %1 is left as it is: %2.").arg(file, why);
        return o;
    }
    // Not a database, or a damaged one: kept aside, and a new one begun.
    const QString aside = asideName(file);
    if (!QFile::rename(file, aside)) {
        o.notice = QObject::tr("The memory of players and actions in %1 could not be read, nor moved aside: nothing is recorded.").arg(file);
        return o;
    }
    for (const QString& companion : {QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::rename(file + companion, aside + companion);
    if (placeIsOurs(file)) {
        QSqlDatabase db = openConnection(name, file);
        ok = db.isOpen() && Prepare(db, keepDays, &why);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    o.notice = QObject::tr("The memory of players and actions could not be read. It was kept as %1, and a new one is begun.").arg(aside);
    if (ok) {
        path = file;
        o.usable = true;
    }
    return o;
}
}

namespace {
// The team database opened for the first time: its schema made or brought forward. A server
// that does not answer leaves the memory usable (the outbox keeps what is recorded).
Opening openTeam(int keepDays)
{
    Opening o;
    const QString name = TeamName(target);
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        o.notice = QObject::tr("The team database %1 is not used: Qt's PostgreSQL driver (libqt6sql6-psql) is not installed; nothing is recorded.").arg(name);
        return o;
    }
    const QString connection = connectionName("team-open");
    QString why;
    bool ok = false;
    bool lost = false;
    {
        QSqlDatabase db = teamConnection(connection);
        if (db.open()) {
            TeamWatch watch(db);
            ok = Prepare(db, keepDays, &why);
            lost = !ok && Dialect::Lost(db, why);
        } else {
            why = db.lastError().text();
            lost = !Dialect::LoginRefused(why);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    why = why.simplified();
    // What is recorded goes through the outbox in the local file: no team memory without it.
    const Opening file = ok || lost ? openFile(keepDays) : Opening();
    if ((ok || lost) && !file.usable) {
        o.notice = file.notice;
        return o;
    }
    if (ok || lost) {
        teamOpen = true;
        o.usable = true;
        reachable.storeRelaxed(ok ? 1 : 0);
        if (lost)
            o.notice = QObject::tr("The team database %1 cannot be reached (%2): what is recorded is kept in the local file and sent when it answers.").arg(name, why);
        return o;
    }
    if (why.contains(QLatin1String("newer version")))
        o.notice = QObject::tr("The team database %1 is left as it is: it was written by a newer version of the program; nothing is recorded.").arg(name);
    else
        o.notice = QObject::tr("The team database %1 cannot be used (%2): nothing is recorded.").arg(name, why);
    return o;
}
}

Opening Open(int keepDays)
{
    return Open(DatabaseTarget(), QString(), keepDays);
}

Opening Open(const DatabaseTarget& where, const QString& password, int keepDays)
{
    QMutexLocker locked(&lock);
    if (!tried) {
        tried = true;
        target = where;
        teamPassword = where.team ? password : QString();
        reachable.storeRelaxed(1);
        opened = where.team ? openTeam(keepDays) : openFile(keepDays);
    }
    return opened;
}

bool IsOpen()
{
    QMutexLocker locked(&lock);
    return target.team ? teamOpen : !path.isEmpty();
}

QString Path()
{
    QMutexLocker locked(&lock);
    return path;
}

DatabaseTarget Target()
{
    QMutexLocker locked(&lock);
    return target;
}

bool IsTeam()
{
    QMutexLocker locked(&lock);
    return target.team && teamOpen;
}

QString TeamName(const DatabaseTarget& t)
{
    return t.user + QLatin1Char('@') + ServerAddressText(t.host, t.port) + QLatin1Char('/') + t.database;
}

namespace {
QString recordsWaiting(int n)
{
    return n == 1 ? QObject::tr("1 record waiting") : QObject::tr("%1 records waiting").arg(n);
}
}

QString TeamStateLine(const TeamState& state)
{
    if (!state.team || (state.reachable && state.waiting == 0))
        return QString();
    if (state.reachable)
        return QObject::tr("team database: %1").arg(recordsWaiting(state.waiting));
    const QString since = QDateTime::fromMSecsSinceEpoch(state.unreachableSince).toString(QStringLiteral("HH:mm"));
    return QObject::tr("team database unreachable since %1; ").arg(since) + recordsWaiting(state.waiting);
}

QString TeamStateNote(const TeamState& before, const TeamState& now)
{
    if (before.reachable && !now.reachable)
        return TeamStateLine(now);
    if (!before.reachable && now.reachable)
        return now.waiting > 0 ? QObject::tr("team database reachable again; %1").arg(recordsWaiting(now.waiting))
                               : QObject::tr("team database reachable again; every record sent");
    return QString();
}

void Disconnect()
{
    QMutexLocker locked(&lock);
    for (const char* kind : {"memory", "team"}) {
        const QString name = connectionName(kind);
        if (connectionNames.removeAll(name))
            QSqlDatabase::removeDatabase(name);
    }
}

void Forget()
{
    Disconnect();
    QMutexLocker locked(&lock);
    for (const QString& name : connectionNames)
        QSqlDatabase::removeDatabase(name);
    connectionNames.clear();
    path.clear();
    tried = false;
    opened = Opening();
    target = DatabaseTarget();
    teamPassword.clear();
    teamOpen = false;
    reachable.storeRelaxed(1);
}

QSqlDatabase LocalConnection()
{
    QMutexLocker locked(&lock);
    if (path.isEmpty())
        return QSqlDatabase();
    const QString name = connectionName();
    if (QSqlDatabase::contains(name))
        return QSqlDatabase::database(name);
    connectionNames.append(name);
    return openConnection(name, path);
}

QSqlDatabase Connection()
{
    QMutexLocker locked(&lock);
    if (!target.team) {
        locked.unlock();
        return LocalConnection();
    }
    if (!teamOpen)
        return QSqlDatabase();
    const QString name = connectionName("team");
    if (!QSqlDatabase::contains(name)) {
        connectionNames.append(name);
        teamConnection(name);
    }
    QSqlDatabase db = QSqlDatabase::database(name, false);
    if (!db.isOpen() && reachable.loadRelaxed())
        db.open();
    return db;
}

bool Reachable()
{
    return reachable.loadRelaxed() != 0;
}

void SetReachable(bool r)
{
    reachable.storeRelaxed(r ? 1 : 0);
}

void Drop(QSqlDatabase& db)
{
    if (Dialect::Of(db) == Dialect::Engine::PostgreSQL)
        db.close();
}

qint64 Now()
{
    return QDateTime::currentMSecsSinceEpoch() + clockOffset.loadRelaxed();
}

void SetClockOffsetForTests(qint64 ms)
{
    clockOffset.storeRelaxed(ms);
}

int KeepDays()
{
    bool ok = false;
    const int days = GetProgramSetting(Key::KeepSightingsDays, QString::number(DefaultKeepDays)).trimmed().toInt(&ok);
    return ok && days > 0 ? days : DefaultKeepDays;
}

QString AdminName()
{
    const QString set = GetProgramSetting(Key::AdminName).trimmed();
    if (!set.isEmpty())
        return set;
    if (const passwd* pw = ::getpwuid(::geteuid()))
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

QString DesktopName()
{
    return QSysInfo::machineHostName();
}

QString FoldName(const QString& name)
{
    return ColourCodes::Strip(name).toLower();
}

QString ServerKey(const QString& host, int port)
{
    return ServerAddressText(host.trimmed().toLower(), port);
}

QByteArray AddressKey(const QString& ip)
{
    QHostAddress a;
    if (!a.setAddress(ip))
        return QByteArray();
    bool v4 = false;
    const quint32 four = a.toIPv4Address(&v4);
    if (v4)
        a = QHostAddress(QStringLiteral("::ffff:%1").arg(QHostAddress(four).toString()));
    const Q_IPV6ADDR six = a.toIPv6Address();
    return QByteArray(reinterpret_cast<const char*>(six.c), 16);
}

namespace {
// The range of a subnet: its key with the host part all zero, and all one.
bool range(const QHostAddress& network, int prefix, QByteArray* low, QByteArray* high)
{
    const QByteArray key = AddressKey(network.toString());
    if (key.isEmpty())
        return false;
    bool v4 = false;
    network.toIPv4Address(&v4);
    const int bits = v4 ? 96 + prefix : prefix;
    *low = key;
    *high = key;
    for (int bit = bits; bit < 128; ++bit) {
        const char mask = char(0x80 >> (bit % 8));
        (*low)[bit / 8] = char((*low)[bit / 8] & ~mask);
        (*high)[bit / 8] = char((*high)[bit / 8] | mask);
    }
    return true;
}
}

Search ReadSearch(const QString& text)
{
    Search s;
    const QString t = text.trimmed();
    static const QRegularExpression dotted(QStringLiteral("^(\\d{1,3}\\.){1,3}$"));
    QString subnet = t;
    if (dotted.match(t).hasMatch()) {
        const int octets = int(t.count(QLatin1Char('.')));
        subnet = t + QStringList(4 - octets, QStringLiteral("0")).join(QLatin1Char('.')) + QLatin1Char('/') + QString::number(8 * octets);
    }
    if (!subnet.contains(QLatin1Char('/')) && !AddressKey(subnet).isEmpty()) {
        s.kind = Search::Addresses;
        s.low = s.high = AddressKey(subnet);
        return s;
    }
    const QPair<QHostAddress, int> net = QHostAddress::parseSubnet(subnet);
    if (subnet.contains(QLatin1Char('/')) && !net.first.isNull() && range(net.first, net.second, &s.low, &s.high)) {
        s.kind = Search::Addresses;
        return s;
    }
    s.fragment = FoldName(t);
    return s;
}

QString BanTarget(const QString& typed)
{
    const QString t = typed.trimmed();
    if (t.isEmpty())
        return QString();
    if (!t.contains(QLatin1Char('/'))) {
        QHostAddress a;
        if (!a.setAddress(t))
            return QString();
        return a.toString() + (a.protocol() == QAbstractSocket::IPv4Protocol ? QStringLiteral("/32") : QStringLiteral("/128"));
    }
    const QPair<QHostAddress, int> net = QHostAddress::parseSubnet(t);
    if (net.first.isNull())
        return QString();
    // The address as typed (listbans keeps it so), in its usual spelling.
    QHostAddress a;
    if (!a.setAddress(t.section(QLatin1Char('/'), 0, 0)))
        return QString();
    return a.toString() + QLatin1Char('/') + QString::number(net.second);
}

}
