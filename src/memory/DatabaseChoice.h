#pragma once
#include "memory/DatabaseTarget.h"

#include <QObject>
#include <QSqlDatabase>
#include <QString>

#include <functional>

// The admin's choice of where the memory lives, as the Team Database dialog and the command
// line keep and use it: the URL in the settings, the password in the keyring alone.
namespace Memory {

// A PostgreSQL connection named `name` to the target, not yet opened. Each value goes in
// through its own setter (the driver quotes it); the options are the program's own: a short
// connect timeout, and TLS required for a host that is not loopback (unless the admin turned
// it off), where PGSSLMODE may still ask libpq for more (verify-ca, verify-full).
QSqlDatabase TeamConnection(const DatabaseTarget& target, const QString& password, const QString& name);

// The team database's password: the keyring entry under target.keyringKey(), else "" (libpq
// then looks in ~/.pgpass, PGPASSWORD, a service file). `then` runs from the event loop,
// while `context` lives.
void ReadDatabasePassword(const DatabaseTarget& target, QObject* context, std::function<void(const QString& password)> then);
// The same, waiting for the keyring's answer: for the command line.
QString DatabasePasswordNow(const DatabaseTarget& target);

// Keeps the choice: the URL in the settings (blank for the local file) and a password typed
// for it in the keyring, never in a file. `then` learns whether the keyring took the password
// (true when there was none to keep).
void SaveDatabaseChoice(const DatabaseTarget& target, const QString& password, QObject* context, std::function<void(bool kept)> then);

// Logs in to the team database as the memory would, and leaves: "" when the server let the
// program in, else what went wrong, in one line.
QString TestDatabaseConnection(const DatabaseTarget& target, const QString& password);

}
