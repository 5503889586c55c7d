#include "settings/PasswordVault.h"
#include "settings/SettingsStore.h"

#include <QEventLoop>
#include <QTimer>

#include <functional>
#include <qt6keychain/keychain.h>

const QString PasswordVault::Service = QStringLiteral("telmorax");
const QString PasswordVault::Entry = QStringLiteral("last server's rcon password");

namespace {
using QKeychain::Job;
using Outcome = std::function<void(QKeychain::Error, const QString&)>;

// A job on the program's entry. It deletes itself once it has finished, however long the
// keyring takes; nothing else holds on to it. Never the insecure fallback: where there is
// no keyring, the settings file is the place, and the caller decides that.
template <class T>
T* newJob()
{
    auto* job = new T(PasswordVault::Service);
    job->setKey(PasswordVault::Entry);
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    return job;
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

// Runs the job and waits for it, at most the keyring's allowance. The window takes no
// input meanwhile. The job's error, or OtherError when it did not answer in time.
QKeychain::Error runAndWait(Job* job)
{
    QEventLoop loop;
    QKeychain::Error result = QKeychain::OtherError;
    bool answered = false;
    run(job, &loop, [&](QKeychain::Error error, const QString&) {
        result = error;
        answered = true;
        loop.quit();
    });
    QTimer::singleShot(PasswordVault::WaitMs, &loop, &QEventLoop::quit);
    if (!answered)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    return answered ? result : QKeychain::OtherError;
}
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
        run(newJob<QKeychain::ReadPasswordJob>(), this, [this](QKeychain::Error error, const QString& text) {
            m_settled = true;
            if (error == QKeychain::NoError && !text.isEmpty())
                emit found(text);
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
            if (error == QKeychain::NoError && text == filePassword)
                SaveProgramSetting(Key::Password, QString());
        });
    });
}

QString PasswordVault::store(bool save, const QString& password)
{
    // A keyring that has not answered since the start, and nothing new typed: the keyring
    // is left as it is, and the settings file keeps what it had.
    if (save && !m_settled && password == m_startPassword)
        return password;
    if (save && !password.isEmpty()) {
        m_mayHold = true;
        auto* write = newJob<QKeychain::WritePasswordJob>();
        write->setTextData(password);
        return runAndWait(write) == QKeychain::NoError ? QString() : password;
    }
    // Nothing to save (unchecked, or an empty box): out of the keyring, if it may be there.
    if (m_mayHold)
        runAndWait(newJob<QKeychain::DeletePasswordJob>());
    return QString();
}
