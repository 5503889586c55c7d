// The saved password in the desktop's keyring: a real GNOME Keyring on a session bus of the
// test's own, and the same steps with no session bus, where the settings file keeps it.
#include "TestEnv.h"

#include "settings/PasswordVault.h"
#include "settings/SettingsStore.h"
#include "ui/VbCheckBox.h"
#include "ui/frmMain.h"

#include <QDirIterator>
#include <QLineEdit>
#include <QProcess>
#include <QtTest>

namespace {
const char* const InSession = "TELMORAX_TEST_KEYRING_SESSION";
bool withKeyring = false;

// The keyring's entry for the program, as secret-tool finds it; "" when there is none.
QString inKeyring()
{
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"), {QStringLiteral("lookup"), QStringLiteral("server"), PasswordVault::Service,
                                                  QStringLiteral("user"), PasswordVault::Entry});
    tool.waitForFinished();
    return QString::fromUtf8(tool.readAllStandardOutput());
}

// The files under the test's settings folder whose bytes hold the text.
QStringList filesHolding(const TestEnv& env, const QString& text)
{
    QStringList found;
    QDirIterator it(env.configHome(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        if (f.open(QIODevice::ReadOnly) && f.readAll().contains(text.toUtf8()))
            found << f.fileName();
    }
    return found;
}
}

class KeyringTest : public QObject {
    Q_OBJECT
private slots:
    void savedPasswordLivesInTheKeyringWhenThereIsOne()
    {
        TestEnv env;
        const QString old = QStringLiteral("old-Pw 1"), typed = QStringLiteral("new-Pw 2");
        // Where the password is kept: the keyring if there is one, or else the settings file.
        auto keptOnly = [&](const QString& password) {
            QCOMPARE(inKeyring(), withKeyring ? password : QString());
            QCOMPARE(filesHolding(env, password), withKeyring ? QStringList() : QStringList{env.settingsFile()});
            QCOMPARE(QFile::permissions(env.settingsFile()), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        };
        // An earlier version kept the password in the settings file.
        QVERIFY(SaveProgramSetting(Key::SavePassword, QStringLiteral("1")));
        QVERIFY(SaveProgramSetting(Key::Password, old));
        {
            frmMain w;
            QCOMPARE(w.txtPassword->text(), old);
            if (withKeyring) {
                // Moved over: in the keyring, then out of the file.
                QTRY_COMPARE(filesHolding(env, old), QStringList());
                QCOMPARE(inKeyring(), old);
            }
            QVERIFY(w.close());
        }
        keptOnly(old);
        {
            // Closed before the keyring has answered: the password stays where it was.
            frmMain w;
            QVERIFY(w.close());
        }
        keptOnly(old);
        {
            // A password typed before the keyring's answer came is not replaced by it.
            frmMain w;
            w.txtPassword->selectAll();
            QTest::keyClicks(w.txtPassword, typed);
            QVERIFY(w.close());
            QCOMPARE(w.txtPassword->text(), typed);
        }
        keptOnly(typed);
        QCOMPARE(filesHolding(env, old), QStringList());
        {
            // Unchecked, it goes from both places.
            frmMain w;
            QTRY_COMPARE(w.txtPassword->text(), typed);
            w.ckSavePwd->setValue(0);
            QVERIFY(w.close());
        }
        QCOMPARE(inKeyring(), QString());
        QCOMPARE(filesHolding(env, typed), QStringList());
        QCOMPARE(GetProgramSetting(Key::SavePassword), QStringLiteral("0"));
    }
};

// Without a session bus there is no keyring. Then the same test again in a session bus of its
// own with a keyring unlocked for it, in a home of its own; the bus, and with it the keyring
// daemon, ends when that run ends.
int main(int argc, char** argv)
{
    withKeyring = qEnvironmentVariableIsSet(InSession);
    if (!withKeyring)
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    QApplication app(argc, argv);
    KeyringTest test;
    if (withKeyring) {
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

#include "tst_keyring.moc"
