#include "KeyringSession.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTest>

#include <qt6keychain/keychain.h>

namespace {
const char* const InSession = "TELMORAX_TEST_KEYRING_SESSION";
}

bool InKeyringSession()
{
    return qEnvironmentVariableIsSet(InSession);
}

int RunWithoutAndWithKeyring(QObject& test, int argc, char** argv)
{
    if (!InKeyringSession())
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    QApplication app(argc, argv);
    if (InKeyringSession()) {
        QProcess daemon;
        daemon.setStandardOutputFile(QProcess::nullDevice());
        daemon.start(QStringLiteral("gnome-keyring-daemon"), {QStringLiteral("--unlock"), QStringLiteral("--components=secrets")});
        daemon.write("keyring-pw");
        daemon.closeWriteChannel();
        if (!daemon.waitForFinished() || daemon.exitCode() != 0) {
            qCritical("gnome-keyring-daemon did not start");
            return 1;
        }
        return QTest::qExec(&test, argc, argv);
    }
    const int failed = QTest::qExec(&test, argc, argv);
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
    session.start(QStringLiteral("dbus-run-session"), QStringList{QStringLiteral("--"), app.applicationFilePath()} + app.arguments().mid(1));
    if (!session.waitForFinished(-1) || session.exitStatus() != QProcess::NormalExit)
        return failed + 1;
    return failed + session.exitCode();
}

namespace {
QString secretTool(const QStringList& arguments)
{
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"), arguments);
    tool.waitForFinished();
    return QString::fromUtf8(tool.readAllStandardOutput());
}
}

QString KeyringSecret(const QString& service, const QString& key)
{
    return secretTool({QStringLiteral("lookup"), QStringLiteral("server"), service, QStringLiteral("user"), key});
}

QStringList KeyringLabels(const QString& key)
{
    QStringList labels;
    const QString found = secretTool({QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("user"), key});
    for (const QString& line : found.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("label = ")))
            labels << line.mid(8);
    }
    labels.sort();
    return labels;
}

bool WriteAsEarlierVersion(const QString& key, const QString& password)
{
    QKeychain::WritePasswordJob job(QStringLiteral("telmorax"));
    job.setAutoDelete(false);
    job.setInsecureFallback(false);
    job.setKey(key);
    job.setTextData(password);
    QSignalSpy finished(&job, &QKeychain::Job::finished);
    job.start();
    return finished.wait(10000) && job.error() == QKeychain::NoError;
}
