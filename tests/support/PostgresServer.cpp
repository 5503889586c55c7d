#include "PostgresServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QThread>
#include <QUuid>

#include <csignal>
#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
QString secret()
{
    return QUuid::createUuid().toString(QUuid::Id128);
}
}

PostgresServer::PostgresServer()
    : m_password(secret())
    , m_superPassword(secret())
{
    m_server.setProcessChannelMode(QProcess::MergedChannels);
}

PostgresServer::~PostgresServer()
{
    stop();
}

QString PostgresServer::binaries()
{
    for (const QString& version : {QStringLiteral("15"), QStringLiteral("16"), QStringLiteral("17")}) {
        const QString dir = QStringLiteral("/usr/lib/postgresql/") + version + QStringLiteral("/bin");
        if (QFile::exists(dir + QStringLiteral("/postgres")))
            return dir;
    }
    return QString();
}

Memory::DatabaseTarget PostgresServer::target() const
{
    Memory::DatabaseTarget t;
    t.team = true;
    t.user = QStringLiteral("team");
    t.host = QStringLiteral("127.0.0.1");
    t.port = m_port;
    t.database = QStringLiteral("telmorax");
    return t;
}

bool PostgresServer::start()
{
    const QString bin = binaries();
    const passwd* pw = ::getpwnam("postgres");
    if (bin.isEmpty() || !pw) {
        m_error = QStringLiteral("PostgreSQL is not installed (the README's test command installs it)");
        return false;
    }
    const uid_t uid = pw->pw_uid;
    const gid_t gid = pw->pw_gid;
    const QString data = m_dir.path() + QStringLiteral("/data");
    if (!m_made) {
        // The folder belongs to the server's user; its superuser's password comes from a file
        // there, never a command line.
        const QString pwfile = m_dir.path() + QStringLiteral("/pw");
        QFile f(pwfile);
        f.open(QIODevice::WriteOnly);
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        f.write(m_superPassword.toLatin1() + '\n');
        f.close();
        if (::chown(QFile::encodeName(m_dir.path()).constData(), uid, gid) != 0 || ::chown(QFile::encodeName(pwfile).constData(), uid, gid) != 0) {
            m_error = QStringLiteral("cannot hand the folder to postgres");
            return false;
        }
        QProcess init;
        init.setProcessChannelMode(QProcess::MergedChannels);
        init.start(QStringLiteral("runuser"), {QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), bin + QStringLiteral("/initdb"),
                                                QStringLiteral("-D"), data, QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("-A"),
                                                QStringLiteral("scram-sha-256"), QStringLiteral("--pwfile=") + pwfile, QStringLiteral("--no-sync"),
                                                QStringLiteral("--locale=C.UTF-8"), QStringLiteral("-E"), QStringLiteral("UTF8")});
        if (!init.waitForFinished(120000) || init.exitCode() != 0) {
            m_error = QStringLiteral("initdb failed: ") + QString::fromLocal8Bit(init.readAll()).right(2000);
            return false;
        }
        QFile::remove(pwfile);
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        m_port = probe.serverPort();
    }
    // The server itself, as postgres, a child of this test that dies with it.
    m_server.setChildProcessModifier([uid, gid] {
        ::setgroups(0, nullptr);
        if (::setgid(gid) != 0 || ::setuid(uid) != 0)
            ::_exit(126);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    });
    m_server.start(bin + QStringLiteral("/postgres"), {QStringLiteral("-D"), data, QStringLiteral("-p"), QString::number(m_port), QStringLiteral("-k"),
                                                       m_dir.path(), QStringLiteral("-c"), QStringLiteral("listen_addresses=127.0.0.1"),
                                                       QStringLiteral("-c"), QStringLiteral("fsync=off")});
    if (!m_server.waitForStarted(10000)) {
        m_error = QStringLiteral("postgres did not start: ") + m_server.errorString();
        return false;
    }
    bool up = false;
    for (QDeadlineTimer deadline(60000); !up && !deadline.hasExpired() && m_server.state() == QProcess::Running; QThread::msleep(up ? 0 : 200))
        sql(QStringLiteral("SELECT 1"), &up);
    if (!up) {
        m_error = QStringLiteral("postgres did not come up: ") + QString::fromLocal8Bit(m_server.readAll()).right(2000);
        stop();
        return false;
    }
    if (!m_made) {
        bool ok = false;
        sql(QStringLiteral("CREATE ROLE team LOGIN PASSWORD '%1';").arg(m_password), &ok);
        if (ok)
            sql(QStringLiteral("CREATE DATABASE telmorax OWNER team;"), &ok);
        if (!ok) {
            m_error = QStringLiteral("the team database could not be made");
            return false;
        }
        m_made = true;
    }
    return true;
}

void PostgresServer::stop()
{
    if (m_server.state() == QProcess::NotRunning)
        return;
    ::kill(pid_t(m_server.processId()), SIGINT);  // fast shutdown
    if (!m_server.waitForFinished(20000)) {
        m_server.kill();
        m_server.waitForFinished(5000);
    }
}

void PostgresServer::freeze(bool frozen)
{
    const qint64 server = m_server.processId();
    QList<pid_t> processes{pid_t(server)};
    // Its backends and helpers: the processes whose parent it is.
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1].toLongLong() == server)
            processes << pid_t(pid.toInt());
    }
    for (pid_t p : processes)
        ::kill(p, frozen ? SIGSTOP : SIGCONT);
    // A stopped process never learns that its server died: were this test killed while the
    // server is frozen, its backends would stay stopped for ever. A small child of the test
    // waits for the test's end and kills them then; thawing ends that child.
    if (frozen && m_thawer < 0) {
        const pid_t test = ::getpid();
        sigset_t term;
        sigemptyset(&term);
        sigaddset(&term, SIGTERM);
        const pid_t child = ::fork();
        if (child == 0) {
            ::sigprocmask(SIG_BLOCK, &term, nullptr);
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            int signal = 0;
            if (::getppid() == test)
                ::sigwait(&term, &signal);
            for (pid_t p : processes)
                ::kill(p, SIGKILL);
            ::_exit(0);
        }
        m_thawer = child;
    } else if (!frozen && m_thawer > 0) {
        ::kill(m_thawer, SIGKILL);
        ::waitpid(m_thawer, nullptr, 0);
        m_thawer = -1;
    }
}

QString PostgresServer::sql(const QString& statements, bool* ok)
{
    QProcess psql;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), m_superPassword);
    env.insert(QStringLiteral("PGCONNECT_TIMEOUT"), QStringLiteral("5"));
    psql.setProcessEnvironment(env);
    psql.start(binaries() + QStringLiteral("/psql"), {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(m_port),
                                                      QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("-d"),
                                                      m_made ? QStringLiteral("telmorax") : QStringLiteral("postgres"), QStringLiteral("-X"),
                                                      QStringLiteral("-q"), QStringLiteral("-A"), QStringLiteral("-t"), QStringLiteral("-v"),
                                                      QStringLiteral("ON_ERROR_STOP=1")});
    psql.write(statements.toUtf8());
    psql.closeWriteChannel();
    const bool done = psql.waitForFinished(30000) && psql.exitStatus() == QProcess::NormalExit && psql.exitCode() == 0;
    if (ok)
        *ok = done;
    return QString::fromUtf8(psql.readAllStandardOutput()).trimmed();
}
