#include "memory/TeamWatch.h"

#include "memory/Dialect.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QMutex>
#include <QSqlDriver>
#include <QThread>
#include <QVariant>

#include <libpq-fe.h>
#include <sys/socket.h>

namespace Memory {
namespace {
QMutex lock;
QHash<int, qint64> watched;  // socket: when it is cut, ms on the steady clock

// One thread for the process, started with the first watch: every half second, cuts what is due.
void watchOnce()
{
    static QThread* thread = QThread::create([] {
        for (;;) {
            QThread::msleep(500);
            const qint64 now = QDeadlineTimer::current().deadline();
            QMutexLocker locked(&lock);
            for (auto it = watched.begin(); it != watched.end();) {
                if (it.value() > now) {
                    ++it;
                    continue;
                }
                ::shutdown(it.key(), SHUT_RDWR);  // the statement waiting on it fails at once
                it = watched.erase(it);
            }
        }
    });
    static bool started = [] {
        thread->start();
        return true;
    }();
    Q_UNUSED(started);
}
}

TeamWatch::TeamWatch(const QSqlDatabase& db)
{
    if (Dialect::Of(db) != Dialect::Engine::PostgreSQL || !db.isOpen() || !db.driver())
        return;
    const QVariant handle = db.driver()->handle();
    // The driver names libpq's connection by its type, "PGconn*" or "pg_conn*".
    if (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0)
        return;
    PGconn* connection = *static_cast<PGconn* const*>(handle.constData());
    if (!connection)
        return;
    m_socket = PQsocket(connection);
    if (m_socket < 0)
        return;
    watchOnce();
    QMutexLocker locked(&lock);
    watched.insert(m_socket, QDeadlineTimer::current().deadline() + qint64(WatchSeconds) * 1000);
}

TeamWatch::~TeamWatch()
{
    if (m_socket < 0)
        return;
    QMutexLocker locked(&lock);
    watched.remove(m_socket);
}

}
