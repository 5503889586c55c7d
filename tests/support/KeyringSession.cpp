#include "KeyringSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

namespace {
const char* const InSession = "TELMORAX_TEST_KEYRING_SESSION";
}

bool KeyringSession::Inside()
{
    return qEnvironmentVariableIsSet(InSession);
}

int KeyringSession::RunInside(const QStringList& arguments)
{
    QTemporaryDir home;
    for (const char* folder : {"data", "run"})
        QDir(home.path()).mkpath(QLatin1String(folder));
    QFile::setPermissions(home.path() + QStringLiteral("/run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    env.insert(QLatin1String(InSession), QStringLiteral("1"));
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path() + QStringLiteral("/run"));
    QProcess session;
    session.setProcessEnvironment(env);
    session.setProcessChannelMode(QProcess::ForwardedChannels);
    session.start(QStringLiteral("dbus-run-session"), QStringList{QStringLiteral("--"), QCoreApplication::applicationFilePath()} + arguments);
    if (!session.waitForFinished(-1) || session.exitStatus() != QProcess::NormalExit)
        return 1;
    return session.exitCode();
}

bool KeyringSession::StartKeyring()
{
    QProcess daemon;
    daemon.setStandardOutputFile(QProcess::nullDevice());
    daemon.start(QStringLiteral("gnome-keyring-daemon"), {QStringLiteral("--unlock"), QStringLiteral("--components=secrets")});
    daemon.write("keyring-pw");
    daemon.closeWriteChannel();
    return daemon.waitForFinished() && daemon.exitCode() == 0;
}
