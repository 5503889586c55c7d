#include "console/BudgetFile.h"

#include <QFile>
#include <QHostAddress>
#include <QList>
#include <QThread>

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QByteArray Format = QByteArrayLiteral("telmorax request budgets 1");
// More than any server's allowance takes to fill up again: a state this old means nothing
// spent, and is not written back.
constexpr qint64 ForgetAfterMs = 10 * 60 * 1000;
constexpr qint64 MaxFileBytes = 64 * 1024;
constexpr int MaxServers = 1000;
// Another run holds the lock for a read and a write; one that holds it longer (stopped in a
// debugger) does not stop this one: it keeps its own budget for this turn.
constexpr int LockTries = 50;
constexpr unsigned long LockPauseMs = 2;

bool readNumber(const QByteArray& text, qint64 low, qint64 high, qint64* out)
{
    bool ok = false;
    const qint64 n = text.toLongLong(&ok);
    if (!ok || n < low || n > high)
        return false;
    *out = n;
    return true;
}
}

QString BudgetFile::path()
{
    const QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!folder.startsWith(QLatin1Char('/')))
        return QString();  // unset, or not a path that can be trusted to mean one place
    return folder + QStringLiteral("/telmorax");
}

qint64 BudgetFile::now()
{
    timespec ts = {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

BudgetFile::BudgetFile()
{
    const QString file = path();
    if (file.isEmpty())
        return;
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    struct stat st = {};
    // Only a plain file of this user's own; readable by nobody else.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()
        || ((st.st_mode & 077) && ::fchmod(fd, 0600) != 0)) {
        ::close(fd);
        return;
    }
    for (int i = 0; ::flock(fd, LOCK_EX | LOCK_NB) != 0; ++i) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || i == LockTries) {
            ::close(fd);
            return;
        }
        QThread::msleep(LockPauseMs);
    }
    m_fd = fd;
    m_now = now();  // after the lock: every state written before it is in the past
    read();
}

BudgetFile::~BudgetFile()
{
    if (m_fd < 0)
        return;
    if (m_changed)
        write();
    ::flock(m_fd, LOCK_UN);
    ::close(m_fd);
}

const BudgetState* BudgetFile::find(const QString& key) const
{
    const auto it = m_states.constFind(key);
    return it == m_states.cend() ? nullptr : &it.value();
}

void BudgetFile::put(const QString& key, const BudgetState& state)
{
    if (m_fd < 0)
        return;
    m_states.insert(key, state);
    m_changed = true;
}

void BudgetFile::read()
{
    QByteArray text(MaxFileBytes, Qt::Uninitialized);
    qint64 got = 0;
    while (got < MaxFileBytes) {
        const ssize_t n = ::pread(m_fd, text.data() + got, size_t(MaxFileBytes - got), got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    text.truncate(int(got));
    const QList<QByteArray> lines = text.split('\n');
    if (lines.first() != Format)
        return;  // empty, damaged or another format: nothing known
    for (int i = 1; i < lines.size() && m_states.size() < MaxServers; ++i) {
        // ADDRESS CREDIT AT LAST-RCON: a time is never after now, a credit never beyond a day.
        const QList<QByteArray> f = lines[i].split(' ');
        BudgetState s;
        s.full = false;
        if (f.size() != 4 || f[0].size() > 64 || QHostAddress(QString::fromLatin1(f[0])).isNull()
            || !readNumber(f[1], -86400000, 86400000, &s.credit) || !readNumber(f[2], 0, m_now, &s.at)
            || !readNumber(f[3], -1, m_now, &s.lastRcon))
            continue;
        m_states.insert(QString::fromLatin1(f[0]), s);
    }
}

void BudgetFile::write()
{
    QByteArray text = Format + '\n';
    for (auto it = m_states.cbegin(); it != m_states.cend(); ++it) {
        const BudgetState& s = it.value();
        if (s.full || (m_now - s.at > ForgetAfterMs && (s.lastRcon < 0 || m_now - s.lastRcon > ForgetAfterMs)))
            continue;  // long enough ago to have filled up again
        text += it.key().toLatin1() + ' ' + QByteArray::number(s.credit) + ' ' + QByteArray::number(s.at) + ' '
            + QByteArray::number(s.lastRcon) + '\n';
    }
    if (::ftruncate(m_fd, 0) != 0)
        return;
    qint64 done = 0;
    while (done < text.size()) {
        const ssize_t n = ::pwrite(m_fd, text.constData() + done, size_t(text.size() - done), done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;  // a short file reads as damaged lines, and those as nothing known
        done += n;
    }
}
