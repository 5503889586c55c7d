#pragma once
#include "memory/DatabaseTarget.h"

#include <QProcess>
#include <QTemporaryDir>

// A real PostgreSQL server (Debian's postgresql) in a temporary folder, run as the
// unprivileged `postgres` user on 127.0.0.1 and a free port, with scram-sha-256 logins and a
// database ("telmorax") owned by a user of its own ("team") with a password of its own.
// Always stopped when the object goes away, and with the test when the test is killed.
class PostgresServer {
public:
    PostgresServer();
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    // Makes the cluster, the user and the database the first time; later starts it again on
    // the same folder and port. False with errorText() set when it does not come up.
    bool start();
    // A fast shutdown (the connections are cut), as an administrator stops it.
    void stop();
    // Every process of the server stopped (SIGSTOP) or let go on: a server that answers
    // nothing and closes nothing, as behind a network that drops every datagram.
    void freeze(bool frozen);

    quint16 port() const { return m_port; }
    QString password() const { return m_password; }  // the team user's
    QString errorText() const { return m_error; }
    // postgresql://team@127.0.0.1:PORT/telmorax as the program's structure holds it.
    Memory::DatabaseTarget target() const;

    // Runs SQL as the server's superuser (psql reading it from its standard input); the
    // output, unaligned without headers; `ok` false when psql failed.
    QString sql(const QString& statements, bool* ok = nullptr);

    static QString binaries();  // the folder of initdb and postgres; empty when not installed

private:
    QTemporaryDir m_dir;
    QProcess m_server;
    int m_thawer = -1;  // while frozen: kills the frozen processes if this test dies first
    QString m_password;
    QString m_superPassword;
    quint16 m_port = 0;
    bool m_made = false;
    QString m_error;
};
