#include "TestEnv.h"

#include "console/RequestBudget.h"
#include "settings/Shutdown.h"
#include "console/TimeOfDay.h"
#include "memory/MemoryDatabase.h"
#include "memory/Recorder.h"
#include "settings/ProgramInfo.h"
#include "widgets/Launcher.h"
#include "widgets/MessageBox.h"

#include <QFile>
#include <QSettings>
#include <QUdpSocket>

#include <sys/stat.h>

TestEnv::TestEnv()
    : m_oldConfigHome(qgetenv("XDG_CONFIG_HOME"))
{
    qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
    m_oldDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", m_data.path().toLocal8Bit());
    m_oldRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", m_runtime.path().toLocal8Bit());
    // QSettings caches the user folder; point it at the new one explicitly.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_config.path());
    ProgramInfo::setProgramFolderForTesting(m_program.path());
    MessageBox::setRecording(true);
    Launcher::setRecording(true);
    // A clock that stands still: echo lines and records a test predicts cannot straddle a second.
    Clock::setFixedTimeForTesting(QTime(12, 34, 56));
    // Every server here is on 127.0.0.1: a fresh budget with the ioquake3 rule, so that no
    // engine query reaches a stand-in server first.
    RequestScheduler::instance().resetForTests();
    RequestScheduler::instance().setRule(QHostAddress::LocalHost, BudgetRule::ForVersion(QStringLiteral("ioq3")));
    EndShutdown();  // a window closed by an earlier test does not stop this one
}

TestEnv::~TestEnv()
{
    // The memory of this test's folder is closed with it: the next test begins its own.
    Recorder::Stop();
    Memory::Forget();
    Memory::SetClockOffsetForTests(0);
    MessageBox::setRecording(false);
    Launcher::setRecording(false);
    EndShutdown();
    Clock::setFixedTimeForTesting(QTime());
    ProgramInfo::setProgramFolderForTesting(QString());
    qputenv("XDG_CONFIG_HOME", m_oldConfigHome);  // empty is the same as unset
    qputenv("XDG_DATA_HOME", m_oldDataHome);
    qputenv("XDG_RUNTIME_DIR", m_oldRuntime);
}

QString TestEnv::settingsFile() const
{
    return m_config.path() + QStringLiteral("/Quillhaven/Quillhaven.ini");
}

QString TestEnv::logFile() const
{
    return m_program.path() + QStringLiteral("/telmorax.log");
}

QByteArray TestEnv::readLog() const
{
    return ReadFile(logFile());
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int FileMode(const QString& path)
{
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

int FreeUdpPort()
{
    QUdpSocket probe;
    return probe.bind(QHostAddress::LocalHost, 0) ? probe.localPort() : 0;
}
