#pragma once
// Tools for the settings tests: storing values and reading the settings file back from the disk, and running
// part of a test as an unprivileged user or with a tiny file size limit.
#include "TestEnv.h"
#include "settings/SettingsStore.h"

#include <QComboBox>
#include <QSettings>
#include <QtTest>
#include <functional>

#include <csignal>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace SettingsTest {

// QSettings re-reads a file only when it sees it changed: pointing the store at the same folder
// under a new name makes it read what is really on the disk (do it before starting a child,
// which starts with its parent's memory).
inline QString freshAlias(const TestEnv& env)
{
    static int serial = 0;
    const QString alias = env.configHome() + QStringLiteral("/.alias%1").arg(++serial);
    QFile::link(env.configHome(), alias);
    return alias;
}
inline void useConfigFolder(const QString& folder) { QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder); }
inline void rereadFromDisk(const TestEnv& env) { useConfigFolder(freshAlias(env)); }

inline QByteArray fileBytes(const QString& path)
{
    FlushSettings();  // what Send saved in the background is on the disk
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

inline int modeOf(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

// A value read straight from the file, without the program's store.
inline QString rawValue(const TestEnv& env, const QString& group, const QString& key)
{
    static int serial = 0;
    FlushSettings();
    const QString copy = env.programFolder() + QStringLiteral("/copy%1.ini").arg(++serial);
    QFile::copy(env.settingsFile(), copy);
    return QSettings(copy, QSettings::IniFormat).value(group + QLatin1Char('/') + key, QStringLiteral("<absent>")).toString();
}

inline void store(const QList<QPair<QString, QString>>& values)
{
    for (const auto& [key, value] : values)
        QVERIFY(SaveProgramSetting(key, value));
}

inline QStringList items(const QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out.append(box->itemText(i));
    return out;
}

constexpr uid_t NobodyId = 65534;

enum class Limit { None, Unprivileged, TinyFiles };

// Runs `work` in a child process and returns what it reported ("" when all was well):
// as is, as an ordinary user (the tests run as root, which permissions do not stop), or
// unable to grow a file beyond a few bytes, as on a full disk.
inline QString runInChild(Limit limit, const std::function<QString()>& work)
{
    FlushSettings();  // the child starts with no write of its parent's still to do
    int fds[2];
    if (::pipe(fds) != 0)
        return QStringLiteral("no pipe");
    ::fflush(stdout);
    ::fflush(stderr);
    const pid_t pid = ::fork();
    if (pid < 0)
        return QStringLiteral("no fork");
    if (pid == 0) {
        ::close(fds[0]);
        QString report;
        if (limit == Limit::Unprivileged && ::getuid() == 0
            && (::setgroups(0, nullptr) != 0 || ::setgid(NobodyId) != 0 || ::setuid(NobodyId) != 0))
            report = QStringLiteral("could not drop privileges");
        if (limit == Limit::Unprivileged && report.isEmpty() && ::geteuid() == 0)
            report = QStringLiteral("still privileged");
        if (limit == Limit::TinyFiles) {
            ::signal(SIGXFSZ, SIG_IGN);
            const struct rlimit tiny = {16, 16};
            if (::setrlimit(RLIMIT_FSIZE, &tiny) != 0)
                report = QStringLiteral("could not limit file sizes");
        }
        if (report.isEmpty())
            report = work();
        const QByteArray bytes = report.toUtf8();
        ssize_t ignored = ::write(fds[1], bytes.constData(), bytes.size());
        (void)ignored;
        ::_exit(0);
    }
    ::close(fds[1]);
    QByteArray out;
    char buf[512];
    ssize_t n;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0)
        out.append(buf, n);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return QStringLiteral("the child process died: status %1").arg(status);
    return QString::fromUtf8(out);
}

// Lets the unprivileged child reach the temporary folders of the test.
inline void openToOthers(const QString& folder) { ::chmod(QFile::encodeName(folder).constData(), 0755); }

struct Report {
    QStringList failures;
    void check(bool ok, const QString& what) { if (!ok) failures.append(what); }  // notes `what` when it fails
    QString text() const { return failures.join(QStringLiteral("; ")); }
};

}
