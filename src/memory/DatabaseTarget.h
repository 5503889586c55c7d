#pragma once
#include <QHostAddress>
#include <QString>

#include <optional>

namespace Memory {

// Where the memory lives: the local file of this user, or a PostgreSQL database a team of
// admins shares ("postgresql://USER@HOST:PORT/DATABASE"). Never holds a password: that
// comes from the keyring (under keyringKey()) or from libpq's own ways (~/.pgpass,
// PGPASSWORD, a service file).
struct DatabaseTarget {
    bool team = false;  // false: the local file, and nothing else here counts
    QString user;
    QString host;       // a name, an address, or a folder of Unix sockets ("/run/postgresql")
    int port = 5432;
    QString database;
    // A host that is not loopback gets TLS (sslmode=require at least) unless the admin
    // turned it off knowingly.
    bool tlsOff = false;

    bool loopback() const
    {
        if (host.isEmpty() || host.startsWith(QLatin1Char('/')) || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
            return true;
        return QHostAddress(host).isLoopback();
    }
    bool tlsRequired() const { return team && !loopback() && !tlsOff; }
    // The keyring entry of its password: "database USER@HOST:PORT/DATABASE".
    QString keyringKey() const
    {
        return QStringLiteral("database %1@%2:%3/%4").arg(user, host, QString::number(port), database);
    }
    // "postgresql://USER@HOST:PORT/DATABASE", its parts percent-encoded where they must be;
    // empty for the local file.
    QString url() const;
};

// Reads "postgresql://USER@HOST:PORT/DATABASE" ("postgres://" too; the port may be left
// out; "?sslmode=disable" turns TLS off). A URL holding a password is refused (a password
// never goes on a command line or into a settings file), as is anything else it cannot
// read; `problem` says why, in one line for the admin. "local" or an empty text is the
// local file.
//
// The parts are percent-decoded; the host is a name or an IPv4 address (lower case), an IPv6
// address in brackets, or a socket folder written %2Frun%2Fpostgresql. Refused: a user, a
// database or a host that is missing, too long for PostgreSQL, or holds a control character
// (decoded or not); raw spaces; a #fragment; any option but sslmode=disable or require (libpq
// reads the others from its environment or a service file). What it gives goes to libpq only
// through QSqlDatabase's setters, which quote each value.
std::optional<DatabaseTarget> ReadDatabaseUrl(const QString& url, QString* problem);

// The database of this run: the --database option when the run was given one (set before
// the memory opens), else TELMORAX_DATABASE unless it is empty, else the setting kept by the
// Team Database dialog, else the local file. Nothing when the chosen text cannot be read:
// `problem` then names where it came from and why.
void SetDatabaseOption(const QString& url);
std::optional<DatabaseTarget> ChosenDatabase(QString* problem);

}
