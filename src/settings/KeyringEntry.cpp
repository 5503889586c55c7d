#include "settings/KeyringEntry.h"

#include <QPointer>

namespace KeyringEntry {
using QKeychain::Job;

void Read(QKeychain::ReadPasswordJob* job, QObject* context, std::function<bool()> mayMove, Outcome then)
{
    // Each step goes on only while `context` lives: a move left half done is done again at
    // the next read, and nothing is lost, since the earlier entry goes only once the new
    // one has been written.
    QPointer<QObject> alive(context);
    const QString service = job->service(), key = job->key();
    const auto textOf = [](Job* done) { return static_cast<QKeychain::ReadPasswordJob*>(done)->textData(); };
    QObject::connect(job, &Job::finished, [=](Job* done) {
        if (!alive)
            return;
        if (done->error() != QKeychain::EntryNotFound || service == EarlierService) {
            then(done->error(), textOf(done));
            return;
        }
        auto* earlier = NewJob<QKeychain::ReadPasswordJob>(EarlierService, key);
        QObject::connect(earlier, &Job::finished, [=](Job* done) {
            if (!alive)
                return;
            const QString text = textOf(done);
            if (done->error() != QKeychain::NoError || !mayMove()) {
                then(QKeychain::EntryNotFound, QString());
                return;
            }
            auto* write = NewJob<QKeychain::WritePasswordJob>(service, key);
            write->setTextData(text);
            QObject::connect(write, &Job::finished, [=](Job* done) {
                if (!alive)
                    return;
                if (done->error() != QKeychain::NoError)
                    then(QKeychain::NoError, text);  // still under the earlier service, found there next time
                else
                    ForgetEarlier(key, context, [=] { then(QKeychain::NoError, text); });
            });
            write->start();
        });
        earlier->start();
    });
    job->start();
}

void ForgetEarlier(const QString& key, QObject* context, std::function<void()> done)
{
    auto* job = NewJob<QKeychain::DeletePasswordJob>(EarlierService, key);
    if (done)
        QObject::connect(job, &Job::finished, context ? context : job, [done](Job*) { done(); });
    job->start();
}
}
