#pragma once
// Root writes through read-only permissions, so a test of an unwritable file or folder run
// as root proves nothing. Such a test runs its own test function again in a child process
// as the unprivileged user "nobody" (setpriv), and passes when that child passes.
#include <QProcess>
#include <QtTest>

#include <unistd.h>

#define RUN_UNPRIVILEGED_IF_ROOT()                                                                        \
    do {                                                                                                 \
        if (::geteuid() == 0) {                                                                          \
            QProcess child_;                                                                             \
            child_.setProcessChannelMode(QProcess::MergedChannels);                                      \
            child_.setWorkingDirectory(QDir::tempPath());                                                \
            child_.start(QStringLiteral("setpriv"), {"--reuid=65534", "--regid=65534", "--clear-groups", \
                QCoreApplication::applicationFilePath(), QTest::currentTestFunction()});                 \
            QVERIFY(child_.waitForFinished(120000));                                                     \
            QVERIFY2(child_.exitStatus() == QProcess::NormalExit && child_.exitCode() == 0,             \
                child_.readAll().constData());                                                           \
            return;                                                                                      \
        }                                                                                                \
    } while (false)
