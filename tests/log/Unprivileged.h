#pragma once
// Root writes through read-only permissions, so a test of an unwritable file or folder run
// as root proves nothing. Such a test runs its own test function again in a child process
// under the unprivileged user "nobody" (setpriv), and passes when that child passes.
#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

#include <sys/types.h>
#include <unistd.h>

namespace Unprivileged {
constexpr uid_t NobodyId = 65534;

inline bool isRoot()
{
    return ::geteuid() == 0;
}

struct Result {
    bool ran = false;
    int exitCode = -1;
    QString output;
};

// Runs `function` of this test program as "nobody", with a home of its own.
inline Result rerunAsNobody(const char* function)
{
    Result r;
    QTemporaryDir home;
    if (!home.isValid() || ::chown(home.path().toLocal8Bit().constData(), NobodyId, NobodyId) != 0) {
        r.output = QStringLiteral("could not prepare a home for the child");
        return r;
    }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.setWorkingDirectory(home.path());
    child.start(QStringLiteral("setpriv"),
        {QStringLiteral("--reuid=%1").arg(NobodyId), QStringLiteral("--regid=%1").arg(NobodyId),
            QStringLiteral("--clear-groups"), QCoreApplication::applicationFilePath(), QString::fromLatin1(function)});
    if (!child.waitForStarted(10000)) {
        r.output = QStringLiteral("setpriv did not start: ") + child.errorString();
        return r;
    }
    if (!child.waitForFinished(120000)) {
        child.kill();
        child.waitForFinished();
        r.output = QStringLiteral("the child did not finish");
        return r;
    }
    r.ran = child.exitStatus() == QProcess::NormalExit;
    r.exitCode = child.exitCode();
    r.output = QString::fromLocal8Bit(child.readAll());
    return r;
}
}

// Run at the top of a test function: as root, runs the function as "nobody" and returns.
#define RUN_UNPRIVILEGED_IF_ROOT()                                                              \
    do {                                                                                       \
        if (Unprivileged::isRoot()) {                                                          \
            const Unprivileged::Result r_ = Unprivileged::rerunAsNobody(QTest::currentTestFunction()); \
            QVERIFY2(r_.ran && r_.exitCode == 0, qPrintable(r_.output));                      \
            return;                                                                            \
        }                                                                                      \
    } while (false)
