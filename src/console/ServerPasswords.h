#pragma once
#include <QObject>
#include <QString>

#include <functional>

namespace QKeychain {
class Job;
}

// Each saved server's rcon password, in the desktop's keyring (the Secret Service: GNOME
// Keyring, KWallet, KeePassXC) through QtKeychain: one entry per server, named "rcon
// host:port" under a service that names the server too ("telmorax rcon host:port"), the
// name a keyring manager shows. An entry an earlier version kept under the service
// "telmorax" moves to its own service when it is read. Every call is asynchronous: its
// answer comes from the event loop, to a function run only while `context` is alive.
//
// Where there is no keyring service at all, passwords are kept in memory instead, for as
// long as the program runs (every ServerPasswords of the process shares them), and
// noKeyring() is emitted, once per run, for the window to say so.
class ServerPasswords : public QObject {
    Q_OBJECT
public:
    // The keyring entry's name for a server: "rcon host:port" ("rcon [::1]:27960"), the
    // host in lower case.
    static QString EntryOf(const QString& host, int port);
    // The service the entry is filed under: "telmorax rcon host:port".
    static QString ServiceOf(const QString& host, int port);

    explicit ServerPasswords(QObject* parent = nullptr);

    // The server's password; "" when none is saved (or the keyring could not be read).
    void read(const QString& host, int port, QObject* context, std::function<void(const QString& password)> then);
    // Saves the password for the server; an empty password removes the entry. `then`, when
    // given, learns whether it was kept (in the keyring, or in memory where there is none).
    void write(const QString& host, int port, const QString& password, QObject* context = nullptr,
        std::function<void(bool kept)> then = nullptr);
    void remove(const QString& host, int port) { write(host, port, QString()); }
    // The same for another of the program's entries ("database USER@HOST:PORT/DATABASE"), filed
    // under the service "telmorax " and the entry's name.
    void readEntry(const QString& entry, QObject* context, std::function<void(const QString& password)> then);
    void writeEntry(const QString& entry, const QString& password, QObject* context = nullptr, std::function<void(bool kept)> then = nullptr);

    // True once it is known that there is no keyring service: passwords live in memory.
    static bool InMemoryOnly();
    // Tests that run several cases in one process start afresh: no memory, keyring unknown.
    static void ResetForTests();

signals:
    // Once per run, when it turns out that there is no keyring service at all.
    void noKeyring();

private:
    void note(QKeychain::Job* job, std::function<void()> keepInMemory);
};
