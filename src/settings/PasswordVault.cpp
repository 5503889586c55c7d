#include "settings/PasswordVault.h"
#include "settings/KeyringEntry.h"
#include "settings/Shutdown.h"
#include "settings/SettingsStore.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QEventLoop>
#include <QTimer>

const QString PasswordVault::Service = QStringLiteral("telmorax last server's rcon password");
const QString PasswordVault::Entry = QStringLiteral("last server's rcon password");

namespace {
using QKeychain::Job;
using Outcome = std::function<void(QKeychain::Error, const QString&)>;

// A keyring that asks the user (an unlock or access prompt) needs time for a person.
int g_closeWaitMs = 30000;

// A job on the program's entry; nothing else holds on to it.
template <class T>
T* newJob()
{
    return KeyringEntry::NewJob<T>(PasswordVault::Service, PasswordVault::Entry);
}

// Starts the job; `then` gets its outcome (and a read's text) when it finishes, unless
// `context` is gone by then.
void run(Job* job, QObject* context, Outcome then)
{
    QObject::connect(job, &Job::finished, context, [then](Job* done) {
        const auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(done);
        then(done->error(), read ? read->textData() : QString());
    });
    job->start();
}
}

void PasswordVault::setCloseWaitMs(int ms)
{
    g_closeWaitMs = ms;
}

bool PasswordVault::KeyringServiceExists()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    // Asked of the bus itself, which answers even when the keyring's own process does not.
    const QStringList services = {QStringLiteral("org.freedesktop.secrets"), QStringLiteral("org.kde.kwalletd6"),
        QStringLiteral("org.kde.kwalletd5"), QStringLiteral("org.kde.kwalletd")};
    for (const QString& service : services) {
        if (bus.interface()->isServiceRegistered(service))
            return true;
    }
    const QStringList startable = bus.interface()->activatableServiceNames();
    for (const QString& service : services) {
        if (startable.contains(service))
            return true;
    }
    return false;
}

PasswordVault::PasswordVault(QObject* parent)
    : QObject(parent)
{
}

void PasswordVault::restore(const QString& filePassword)
{
    m_startPassword = filePassword;
    m_mayHold = true;
    m_settled = false;
    if (filePassword.isEmpty()) {
        // An entry of an earlier version moves, unless a password of this run is on its way.
        const auto mayMove = [this] { return !m_writing && m_remembered.isEmpty(); };
        KeyringEntry::Read(newJob<QKeychain::ReadPasswordJob>(), this, mayMove, [this](QKeychain::Error error, const QString& text) {
            m_settled = true;
            if (error == QKeychain::NoError && !text.isEmpty() && !m_writing) {
                m_inKeyring = text;
                emit found(text);
            }
        });
        return;
    }
    auto* write = newJob<QKeychain::WritePasswordJob>();
    write->setTextData(filePassword);
    run(write, this, [this, filePassword](QKeychain::Error error, const QString&) {
        if (error != QKeychain::NoError) {
            m_settled = true;  // no keyring: the settings file keeps it
            return;
        }
        run(newJob<QKeychain::ReadPasswordJob>(), this, [this, filePassword](QKeychain::Error error, const QString& text) {
            m_settled = true;
            if (error == QKeychain::NoError && text == filePassword) {
                if (!m_writing)
                    m_inKeyring = text;
                SaveProgramSetting(Key::Password, QString());
                KeyringEntry::ForgetEarlier(Entry);  // older than the file's, where it was still kept
            }
        });
    });
}

void PasswordVault::remember(const QString& password)
{
    // Once for each new password: a keyring that asked and was refused is not asked again.
    if (ShuttingDown() || password.isEmpty() || password == m_remembered)
        return;
    m_remembered = password;
    write(password);
}

void PasswordVault::write(const QString& password)
{
    if (m_writing) {
        m_nextWrite = password;  // one at a time, in the order given
        return;
    }
    if (m_inKeyring == password)
        return;
    m_writing = true;
    m_mayHold = true;
    auto* job = newJob<QKeychain::WritePasswordJob>();
    job->setTextData(password);
    run(job, this, [this, password](QKeychain::Error error, const QString&) {
        m_writing = false;
        // Refused or failed: what the keyring holds now is not known.
        m_inKeyring = error == QKeychain::NoError ? std::optional<QString>(password) : std::nullopt;
        if (error == QKeychain::NoError)
            KeyringEntry::ForgetEarlier(Entry);
        if (m_nextWrite) {
            const QString next = *m_nextWrite;
            m_nextWrite.reset();
            write(next);
        }
        if (!m_writing)
            emit writesDone();
    });
}

bool PasswordVault::waitUntil(const std::function<bool()>& done)
{
    if (done())
        return true;
    // Only the keyring's answers and timers run meanwhile; nothing new starts (ShuttingDown).
    QEventLoop loop;
    connect(this, &PasswordVault::writesDone, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(g_closeWaitMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return done();
}

bool PasswordVault::goesToFile(bool save, const QString& password) const
{
    // As store() decides: not when the keyring has it. A file that holds it already, as it
    // does when the start's keyring work has had no answer yet, has nothing new to take.
    if (!save || password.isEmpty() || (!m_writing && m_inKeyring == password))
        return false;
    return !KeyringServiceExists() && GetProgramSetting(Key::Password) != password;
}

std::optional<QString> PasswordVault::store(bool save, const QString& password, const std::function<void()>& beforeWaiting)
{
    // A keyring that has not answered since the start, and nothing new typed: the keyring
    // is left as it is, and the settings file keeps what it had.
    if (save && !m_settled && password == m_startPassword)
        return std::nullopt;
    if (save && !password.isEmpty()) {
        if (!m_writing && m_inKeyring == password)
            return QString();  // the usual close: the keyring has it already
        if (!m_writing && !KeyringServiceExists())
            return password;  // no keyring at all: the settings file keeps it, as always
        if (!m_writing && password == m_remembered)
            return std::nullopt;  // given to the keyring already, which refused it: not asked again
        beforeWaiting();
        write(password);
        if (waitUntil([&] { return !m_writing && !m_nextWrite; }) && m_inKeyring == password)
            return QString();
        // Slow, locked, refused by the user, or failed: the file is no place for it while
        // there is a keyring; where there turns out to be none, it is.
        return KeyringServiceExists() ? std::nullopt : std::optional<QString>(password);
    }
    // Nothing to save (unchecked, or an empty box): out of the keyring, if it may be there.
    if (m_mayHold) {
        beforeWaiting();
        int deleted = 0;  // from its own service and from where an earlier version kept it
        QObject waiting;  // an answer after the wait has nowhere to go
        const auto oneDeleted = [&, this] {
            ++deleted;
            emit writesDone();
        };
        run(newJob<QKeychain::DeletePasswordJob>(), &waiting, [&](QKeychain::Error, const QString&) { oneDeleted(); });
        KeyringEntry::ForgetEarlier(Entry, &waiting, oneDeleted);
        waitUntil([&] { return deleted == 2; });
    }
    return QString();
}
