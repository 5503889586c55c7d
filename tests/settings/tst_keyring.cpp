// The saved password in the desktop's keyring: a real GNOME Keyring on a session bus of the
// test's own (stopped for a while, as a keyring that waits for its user is), and the same
// steps with no session bus, where the settings file keeps it.
#include "../log/ExchangeRig.h"
#include "KeyringSession.h"

#include "settings/PasswordVault.h"
#include "settings/SettingsStore.h"
#include "widgets/MessageBox.h"
#include "widgets/VbCheckBox.h"
#include "ui/frmMain.h"
#include "MainWindowControls.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDirIterator>
#include <QLineEdit>
#include <QtTest>

#include <signal.h>

namespace {
const bool withKeyring = InKeyringSession();

// The keyring's entry for the program; "" when there is none.
QString inKeyring()
{
    return KeyringSecret(PasswordVault::Service, PasswordVault::Entry);
}

// What a close says where there is no keyring, and the boxes shown since the last look.
const QString fileKeepsIt = QStringLiteral("No keyring service was found, so the saved rcon password goes into the settings "
                                           "file, readable by you alone.  Uncheck Save Password to keep it out of that file.");
QStringList boxesShown()
{
    QStringList texts;
    for (const MessageBox::Shown& box : MessageBox::takeShown())
        texts << (box.icon == QMessageBox::Information ? box.text : QStringLiteral("not an information box"));
    return texts;
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
        QVERIFY(SaveProgramSetting(Key::SavePassword, QStringLiteral("1")));
        if (withKeyring) {
            // An earlier version's entry, filed under "telmorax" like every other: moved under
            // a service of its own, which a keyring manager shows as its name.
            QVERIFY(WriteAsEarlierVersion(PasswordVault::Entry, QStringLiteral("earlier-Pw 0")));
            frmMain w;
            QTRY_COMPARE(ui(w).txtPassword->text(), QStringLiteral("earlier-Pw 0"));
            QTRY_COMPARE(KeyringLabels(PasswordVault::Entry), QStringList{QStringLiteral("telmorax last server's rcon password")});
            QCOMPARE(inKeyring(), QStringLiteral("earlier-Pw 0"));
            QVERIFY(w.close());
            // The file's password, newer, takes its place next.
            QVERIFY(WriteAsEarlierVersion(PasswordVault::Entry, QStringLiteral("earlier-Pw 0")));
        }
        // An earlier version kept the password in the settings file.
        QVERIFY(SaveProgramSetting(Key::Password, old));
        {
            frmMain w;
            QCOMPARE(ui(w).txtPassword->text(), old);
            if (withKeyring) {
                // Moved over: in the keyring, then out of the file.
                QTRY_COMPARE(filesHolding(env, old), QStringList());
                QCOMPARE(inKeyring(), old);
                QTRY_COMPARE(KeyringLabels(PasswordVault::Entry).size(), 1);
            }
            QVERIFY(w.close());
        }
        keptOnly(old);
        QCOMPARE(boxesShown(), QStringList());  // the file held it already
        {
            // Closed before the keyring has answered: the password stays where it was.
            frmMain w;
            QVERIFY(w.close());
        }
        keptOnly(old);
        {
            // A password typed before the keyring's answer came is not replaced by it.
            frmMain w;
            ui(w).txtPassword->selectAll();
            QTest::keyClicks(ui(w).txtPassword, typed);
            QVERIFY(w.close());
            QCOMPARE(ui(w).txtPassword->text(), typed);
        }
        keptOnly(typed);
        QCOMPARE(boxesShown(), withKeyring ? QStringList() : QStringList{fileKeepsIt});
        QCOMPARE(filesHolding(env, old), QStringList());
        const QString late = QStringLiteral("late-Pw 4");
        {
            // Kept as soon as the server has answered a Send with it, before any close; a
            // password the server refused is not.
            LoopbackServer server;
            frmMain w;
            w.show();
            QTRY_COMPARE(ui(w).txtPassword->text(), typed);
            const QString accepted = QStringLiteral("acc-Pw 3");
            QVERIFY(!withKeyring || WriteAsEarlierVersion(PasswordVault::Entry, QStringLiteral("stale-Pw")));  // goes with it
            AimAt(w, server.port(), accepted);
            SendCommand(w, QStringLiteral("status"));
            QVERIFY(server.waitForDatagrams(1));
            server.reply(PrintReply(EmptyStatus));
            QTRY_COMPARE(inKeyring(), withKeyring ? accepted : QString());
            QTRY_COMPARE(KeyringLabels(PasswordVault::Entry).size(), withKeyring ? 1 : 0);
            ui(w).txtPassword->setText(QStringLiteral("refused-Pw"));
            SendCommand(w, QStringLiteral("status"));
            QVERIFY(server.waitForDatagrams(2));
            server.reply(PrintReply("Bad rconpassword.\n"));
            QTRY_VERIFY(ui(w).txtOutput->text().endsWith(QStringLiteral("Bad rconpassword.\r\n")));
            QTest::qWait(300);
            QCOMPARE(inKeyring(), withKeyring ? accepted : QString());
            QCOMPARE(filesHolding(env, accepted), QStringList());

            // A password typed and never sent is due at close. A keyring that does not answer
            // (its daemon stopped) is waited for, the window out of sight meanwhile, and never
            // sends the password into the settings file; where there is no keyring, the file
            // keeps it.
            ui(w).txtPassword->setText(late);
            const qint64 daemon = withKeyring ? QDBusConnection::sessionBus().interface()->servicePid(QStringLiteral("org.freedesktop.secrets")) : 0;
            QVERIFY(!withKeyring || daemon > 1);
            const auto resume = qScopeGuard([daemon] {
                if (daemon > 1)
                    ::kill(pid_t(daemon), SIGCONT);
            });
            if (daemon > 1)
                QCOMPARE(::kill(pid_t(daemon), SIGSTOP), 0);
            PasswordVault::setCloseWaitMs(1500);
            bool visibleWhileWaiting = true;
            QTimer::singleShot(500, &w, [&] { visibleWhileWaiting = w.isVisible(); });
            QVERIFY(w.close());
            PasswordVault::setCloseWaitMs(30000);
            QCOMPARE(filesHolding(env, late), withKeyring ? QStringList() : QStringList{env.settingsFile()});
            QCOMPARE(filesHolding(env, accepted), QStringList());
            QVERIFY(!withKeyring || !visibleWhileWaiting);
        }
        // Resumed, the keyring takes the write it was given.
        QTRY_COMPARE_WITH_TIMEOUT(inKeyring(), withKeyring ? late : QString(), 20000);
        keptOnly(late);
        QCOMPARE(boxesShown(), withKeyring ? QStringList() : QStringList{fileKeepsIt});
        {
            // Unchecked, it goes from both places.
            frmMain w;
            QTRY_COMPARE(ui(w).txtPassword->text(), late);
            ui(w).ckSavePwd->setValue(0);
            QVERIFY(w.close());
        }
        QCOMPARE(inKeyring(), QString());
        QCOMPARE(KeyringLabels(PasswordVault::Entry), QStringList());
        QCOMPARE(filesHolding(env, late), QStringList());
        QCOMPARE(GetProgramSetting(Key::SavePassword), QStringLiteral("0"));
        QCOMPARE(boxesShown(), QStringList());
    }
};

// Without a session bus there is no keyring; then again with one.
int main(int argc, char** argv)
{
    KeyringTest test;
    return RunWithoutAndWithKeyring(test, argc, argv);
}

#include "tst_keyring.moc"
