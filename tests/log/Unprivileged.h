#pragma once
// Root writes through read-only permissions, so a test of an unwritable file or folder run
// as root proves nothing. Such a test runs its own test function again in a child process
// under the unprivileged user "nobody" (setpriv), and passes when that child passes.
#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <unistd.h>

namespace Unprivileged {
constexpr uid_t NobodyId = 65534;

// Runs `function` of this test program as "nobody", with a home of its own; returns an
// empty text when the child passed, else what went wrong.
inline QString rerunAsNobody(const char* function)
{
    QTemporaryDir home;
    if (!home.isValid() || ::chown(home.path().toLocal8Bit().constData(), NobodyId, NobodyId) != 0)
        return QStringLiteral("could not prepare a home for the child");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.setWorkingDirectory(home.path());
    child.start(QStringLiteral("setpriv"),
        {QStringLiteral("--reuid=%1").arg(NobodyId), QStringLiteral("--regid=%1").arg(NobodyId),
            QStringLiteral("--clear-groups"), QCoreApplication::applicationFilePath(), QString::fromLatin1(function)});
    if (!child.waitForStarted(10000))
        return QStringLiteral("setpriv did not start: ") + child.errorString();
    if (!child.waitForFinished(120000)) {
        child.kill();
        child.waitForFinished();
        return QStringLiteral("the child did not finish");
    }
    const QString output = QString::fromLocal8Bit(child.readAll());
    const bool passed = child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
    return passed ? QString() : QStringLiteral("the child failed:\n") + output;
}
}

// Run at the top of a test function: as root, runs the function as "nobody" and returns.
#define RUN_UNPRIVILEGED_IF_ROOT()                                                              \
    do {                                                                                       \
        if (::geteuid() == 0) {                                                                \
            const QString failure_ = Unprivileged::rerunAsNobody(QTest::currentTestFunction()); \
            QVERIFY2(failure_.isEmpty(), qPrintable(failure_));                               \
            return;                                                                            \
        }                                                                                      \
    } while (false)
