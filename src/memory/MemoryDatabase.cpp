#include "memory/MemoryDatabase.h"

#include "console/ColourCodes.h"
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

const char* const Schema[] = {
    // One row per name as sent (colour codes kept); `plain` without them, `folded` also in
    // lower case, for searches.
    "CREATE TABLE names(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE, plain TEXT NOT NULL, folded TEXT NOT NULL,"
    " first_seen INTEGER NOT NULL, last_seen INTEGER NOT NULL)",
    "CREATE INDEX names_last_seen ON names(last_seen)",
    // Every three letters of each folded name, for searches by a fragment of three or more.
    "CREATE VIRTUAL TABLE names_search USING fts5(folded, content='names', content_rowid='id', tokenize='trigram')",
    "CREATE TRIGGER names_searched AFTER INSERT ON names BEGIN INSERT INTO names_search(rowid, folded) VALUES (new.id, new.folded); END",
    // IP addresses without port; `key` the 16 bytes that ranges are searched by.
    "CREATE TABLE addresses(id INTEGER PRIMARY KEY, ip TEXT NOT NULL UNIQUE, key BLOB NOT NULL)",
    "CREATE INDEX addresses_key ON addresses(key)",
    // A name seen at an address: what joins a player's names and addresses.
    "CREATE TABLE name_address(name_id INTEGER NOT NULL, address_id INTEGER NOT NULL, first_seen INTEGER NOT NULL,"
    " last_seen INTEGER NOT NULL, PRIMARY KEY(name_id, address_id)) WITHOUT ROWID",
    "CREATE INDEX name_address_by_address ON name_address(address_id, name_id)",
    // A stretch of time a name was seen on a server; one open at most per server and name.
    "CREATE TABLE sessions(id INTEGER PRIMARY KEY, server TEXT NOT NULL, name_id INTEGER NOT NULL, address_id INTEGER,"
    " client INTEGER, first_seen INTEGER NOT NULL, last_seen INTEGER NOT NULL, open INTEGER NOT NULL DEFAULT 1)",
    "CREATE UNIQUE INDEX sessions_open ON sessions(server, name_id) WHERE open = 1",
    // A name's sessions counted and added up, and its servers, from the index alone.
    "CREATE INDEX sessions_by_name ON sessions(name_id, last_seen, first_seen, server)",
    "CREATE INDEX sessions_by_server ON sessions(server, last_seen)",
    "CREATE INDEX sessions_by_last_seen ON sessions(last_seen)",
    // Every command sent on the admin's behalf.
    "CREATE TABLE journal(id INTEGER PRIMARY KEY, time INTEGER NOT NULL, server TEXT NOT NULL, command TEXT NOT NULL,"
    " admin TEXT NOT NULL, outcome TEXT NOT NULL, target_name TEXT, target_address TEXT, reason TEXT)",
    "CREATE INDEX journal_time ON journal(time)",
    // The bans the program placed: one not lifted at most per server and address.
    "CREATE TABLE bans(id INTEGER PRIMARY KEY, server TEXT NOT NULL, target TEXT NOT NULL, reason TEXT NOT NULL,"
    " admin TEXT NOT NULL, created INTEGER NOT NULL, expires INTEGER, lifted INTEGER, lifted_by TEXT, lifted_how TEXT)",
    "CREATE UNIQUE INDEX bans_standing ON bans(server, target) WHERE lifted IS NULL",
    "CREATE INDEX bans_due ON bans(expires) WHERE lifted IS NULL",
};

QString connectionName()
{
    return QStringLiteral("telmorax-memory-%1").arg(quintptr(QThread::currentThreadId()));
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

// The schema made or brought forward; false when the file is no database of ours.
bool prepare(QSqlDatabase& db, int keepDays, QString* why)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !q.next()) {
        *why = q.lastError().text();
        return false;
    }
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
        *why = q.lastError().text();
        return false;
    }
    const int version = q.value(0).toInt();
    if (version > SchemaVersion) {
        *why = QObject::tr("it was written by a newer version of the program");
        return false;
    }
    if (!q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !q.next()) {
        *why = q.lastError().text();
        return false;
    }
    if (version < SchemaVersion) {
        // Several processes may start at once: the first one to hold the write lock makes the
        // schema, the others find it made.
        if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
            *why = q.lastError().text();
            return false;
        }
        q.exec(QStringLiteral("PRAGMA user_version"));
        const int now = q.next() ? q.value(0).toInt() : -1;
        bool ok = now >= 0;
        if (now == 0) {
            for (const char* statement : Schema)
                ok = ok && q.exec(QString::fromLatin1(statement));
        }
        // Later versions add their steps here, each from the one before.
        ok = ok && q.exec(QStringLiteral("PRAGMA user_version=%1").arg(SchemaVersion));
        if (!ok) {
            *why = q.lastError().text();
            q.exec(QStringLiteral("ROLLBACK"));
            return false;
        }
        q.exec(QStringLiteral("COMMIT"));
    }
    // Sightings past their keeping time go; the journal and the bans stay.
    const qint64 before = Now() - qint64(keepDays) * 24 * 3600 * 1000;
    q.prepare(QStringLiteral("DELETE FROM sessions WHERE last_seen < ? AND open = 0"));
    q.addBindValue(before);
    q.exec();
    q.prepare(QStringLiteral("DELETE FROM name_address WHERE last_seen < ?"));
    q.addBindValue(before);
    q.exec();
    return true;
}

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
        ok = db.isOpen() && prepare(db, keepDays, &why);
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
        ok = db.isOpen() && prepare(db, keepDays, &why);
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

Opening Open(int keepDays)
{
    QMutexLocker locked(&lock);
    if (!tried) {
        tried = true;
        opened = openFile(keepDays);
    }
    return opened;
}

bool IsOpen()
{
    QMutexLocker locked(&lock);
    return !path.isEmpty();
}

QString Path()
{
    QMutexLocker locked(&lock);
    return path;
}

void Disconnect()
{
    QMutexLocker locked(&lock);
    const QString name = connectionName();
    if (connectionNames.removeAll(name))
        QSqlDatabase::removeDatabase(name);
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
}

QSqlDatabase Connection()
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
