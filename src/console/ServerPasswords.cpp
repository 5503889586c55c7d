#include "console/ServerPasswords.h"
#include "console/ServerAddress.h"
#include "settings/KeyringEntry.h"

#include <QHash>
#include <QMetaMethod>
#include <QPointer>
#include <QTimer>

namespace {
// Shared by the whole process: whether the keyring is known to be missing, and the
// passwords kept in memory meanwhile.
struct Memory {
    bool noKeyring = false;
    bool told = false;
    QHash<QString, QString> passwords;  // by entry name
    QHash<QString, int> writes;         // writes begun, by entry name: a read's move waits for none
};
Memory& memory()
{
    static Memory m;
    return m;
}

// The errors that mean there is no keyring service to speak to (no session bus, no Secret
// Service, no KWallet), as opposed to a keyring that refused or lacks the entry.
bool meansNoKeyring(QKeychain::Error error)
{
    return error == QKeychain::NoBackendAvailable || error == QKeychain::NotImplemented || error == QKeychain::OtherError;
}

// A server's service: the program's name and the entry's, "telmorax rcon host:port".
QString serviceOf(const QString& entry)
{
    return KeyringEntry::EarlierService + QLatin1Char(' ') + entry;
}

template <class T>
T* newJob(const QString& entry)
{
    return KeyringEntry::NewJob<T>(serviceOf(entry), entry);
}

// Runs `then` from the event loop, only while context lives.
void later(QObject* context, std::function<void()> then)
{
    QTimer::singleShot(0, context, std::move(then));
}
}

// A job's outcome, recorded whether or not anyone still waits for it: an error that means
// no keyring turns the process to memory, said once.
void ServerPasswords::note(QKeychain::Job* job, std::function<void()> keepInMemory)
{
    QPointer<ServerPasswords> self(this);
    connect(job, &QKeychain::Job::finished, [self, keepInMemory](QKeychain::Job* done) {
        if (!meansNoKeyring(done->error()))
            return;
        memory().noKeyring = true;
        if (keepInMemory)
            keepInMemory();
        // Said by a window that listens: a lookup of the main window's does not use it up.
        if (self && !memory().told && self->isSignalConnected(QMetaMethod::fromSignal(&ServerPasswords::noKeyring))) {
            memory().told = true;
            emit self->noKeyring();
        }
    });
}

QString ServerPasswords::EntryOf(const QString& host, int port)
{
    return QStringLiteral("rcon ") + ServerAddressText(host.toLower(), port);
}

QString ServerPasswords::ServiceOf(const QString& host, int port)
{
    return serviceOf(EntryOf(host, port));
}

ServerPasswords::ServerPasswords(QObject* parent)
    : QObject(parent)
{
}

bool ServerPasswords::InMemoryOnly()
{
    return memory().noKeyring;
}

void ServerPasswords::ResetForTests()
{
    memory() = Memory();
}

void ServerPasswords::read(const QString& host, int port, QObject* context, std::function<void(const QString&)> then)
{
    readEntry(EntryOf(host, port), context, std::move(then));
}

void ServerPasswords::write(const QString& host, int port, const QString& password, QObject* context, std::function<void(bool)> then)
{
    writeEntry(EntryOf(host, port), password, context, std::move(then));
}

void ServerPasswords::readEntry(const QString& entry, QObject* context, std::function<void(const QString&)> then)
{
    if (!context)
        context = this;
    if (memory().noKeyring) {
        later(context, [entry, then] { then(memory().passwords.value(entry)); });
        return;
    }
    auto* job = newJob<QKeychain::ReadPasswordJob>(entry);
    note(job, nullptr);
    const int writes = memory().writes.value(entry);
    const auto mayMove = [entry, writes] { return memory().writes.value(entry) == writes; };
    KeyringEntry::Read(job, context, mayMove, [entry, then](QKeychain::Error error, const QString& text) {
        if (error == QKeychain::NoError)
            then(text);
        else
            then(meansNoKeyring(error) ? memory().passwords.value(entry) : QString());
    });
}

void ServerPasswords::writeEntry(const QString& entry, const QString& password, QObject* context, std::function<void(bool)> then)
{
    if (!context)
        context = this;
    if (!then)
        then = [](bool) {};
    auto keepInMemory = [entry, password] {
        if (password.isEmpty())
            memory().passwords.remove(entry);
        else
            memory().passwords.insert(entry, password);
    };
    if (memory().noKeyring) {
        keepInMemory();
        later(context, [then] { then(true); });
        return;
    }
    memory().writes[entry] += 1;
    QKeychain::Job* job;
    if (password.isEmpty()) {
        job = newJob<QKeychain::DeletePasswordJob>(entry);
        KeyringEntry::ForgetEarlier(entry);
    } else {
        auto* w = newJob<QKeychain::WritePasswordJob>(entry);
        w->setTextData(password);
        job = w;
        // The new one in place, an earlier version's entry would only be a stale copy.
        connect(job, &QKeychain::Job::finished, [entry](QKeychain::Job* done) {
            if (done->error() == QKeychain::NoError)
                KeyringEntry::ForgetEarlier(entry);
        });
    }
    note(job, keepInMemory);
    connect(job, &QKeychain::Job::finished, context, [then, password](QKeychain::Job* done) {
        const QKeychain::Error error = done->error();
        then(error == QKeychain::NoError || meansNoKeyring(error) || (password.isEmpty() && error == QKeychain::EntryNotFound));
    });
    job->start();
}
