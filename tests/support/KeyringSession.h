#pragma once
#include <QStringList>
class QObject;

// Runs a test object's functions twice: first here without a session bus, so with no keyring
// at all; then again in a process of its own under dbus-run-session, with a GNOME Keyring
// unlocked for it, in a home of its own. The bus, and with it the keyring daemon, ends when
// that run ends. Call from main() before anything else; returns the failures of both runs.
int RunWithoutAndWithKeyring(QObject& test, int argc, char** argv);

// True in the run with the keyring.
bool InKeyringSession();

// What the keyring holds, as secret-tool finds it: the password of entry `key` under `service`
// ("" when there is none), and the labels a keyring manager shows for every item of entry
// `key`, whatever its service, sorted.
QString KeyringSecret(const QString& service, const QString& key);
QStringList KeyringLabels(const QString& key);
// Files a password as earlier versions did, through QtKeychain under the service "telmorax";
// true once the keyring has taken it.
bool WriteAsEarlierVersion(const QString& key, const QString& password);
