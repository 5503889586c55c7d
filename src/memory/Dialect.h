#pragma once
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// Where SQLite (the local file) and PostgreSQL (a team's server) differ, in one place. Every
// statement of the memory is written once, in SQLite's words with GREATEST( and LEAST( for
// the two-value maximum and minimum, and passed through Sql() for the connection it runs on.
namespace Memory::Dialect {

enum class Engine { SQLite, PostgreSQL };
Engine Of(const QSqlDatabase& db);

// The statement in the words of the connection's engine.
QString Sql(const QSqlDatabase& db, QString sql);

// What begins a write that holds the memory to itself until it ends: the file's write lock,
// or the team database's lock of this program's writers (two programs never both read, then
// both insert the same session).
QStringList BeginWrite(const QSqlDatabase& db);

// One step of the schema: the statements that bring it from version-1 to version, for the
// engine (data types and what only one engine has are translated here).
QStringList SchemaStep(Engine engine, int version);

// Searching names by a folded fragment: the statement (id, name, first_seen, last_seen; the
// fragment then the limit bound) and the fragment's bound value.
QString NameSearch(const QSqlDatabase& db, const QString& fragment, QString* bound);

// What claims one row among several programs: nothing in the file (its write lock is the
// claim), " FOR UPDATE SKIP LOCKED" on the team database.
QString SkipLocked(const QSqlDatabase& db);

// A lost connection to the team database, as opposed to a statement it refused.
bool Lost(const QSqlDatabase& db, const QString& error);
// A login the server refused (a wrong password, an unknown user or database): trying again
// later will not help.
bool LoginRefused(const QString& error);
// A statement the team database refused for what it held (a constraint, a value too long,
// a trigger), by its SQLSTATE: not a lost or closing connection (08, 57P), nor the server
// short of resources or a transaction to try again (53, 40), which sending later may cure.
bool RecordRefused(const QSqlDatabase& db, const QString& sqlState);

}
