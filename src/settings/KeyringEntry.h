#pragma once
#include <QObject>
#include <QString>

#include <functional>

#include <qt6keychain/keychain.h>

// An entry in the desktop's keyring through QtKeychain, which files it under a service and a
// key. A keyring manager names the entry after its service alone (Seahorse's label, KWallet's
// folder), so each entry has a service of its own that says what it holds: "telmorax rcon
// 203.0.113.7:27960". Earlier versions kept every entry under the service "telmorax"; an
// entry still there moves to its own service when it is read.
namespace KeyringEntry {
inline const QString EarlierService = QStringLiteral("telmorax");

using Outcome = std::function<void(QKeychain::Error error, const QString& text)>;

// A job on the entry `key` of `service`. It deletes itself once it has finished, however long
// the keyring takes. Never QtKeychain's insecure fallback: where there is no keyring, the
// caller decides where the password goes.
template <class T>
T* NewJob(const QString& service, const QString& key)
{
    auto* job = new T(service);
    job->setKey(key);
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    return job;
}

// Starts the read; `then` gets its outcome and text, unless `context` is gone by then. An
// entry the keyring has only under the earlier service is moved first, when `mayMove` still
// allows it (no write to the entry has begun since the read did): written under the job's
// service and, once that took, deleted from the earlier one. Its text then comes as found.
void Read(QKeychain::ReadPasswordJob* job, QObject* context, std::function<bool()> mayMove, Outcome then);

// Deletes the entry `key` from the earlier service, if it is there. `done`, when given, runs
// once the keyring has answered, unless `context` is gone by then.
void ForgetEarlier(const QString& key, QObject* context = nullptr, std::function<void()> done = nullptr);
}
