#pragma once
#include <QStringList>

// A desktop keyring for a test: GNOME Keyring, unlocked, on a session bus of the test's own
// in a home of its own. The test program runs itself again under dbus-run-session; the bus,
// and with it the keyring daemon, ends when that run ends.
namespace KeyringSession {
// True in the run inside the session.
bool Inside();
// From outside: runs this program again, with `arguments`, inside a session, its output
// forwarded; its exit status, or 1 when it did not run.
int RunInside(const QStringList& arguments);
// Inside: starts the keyring daemon. False when it did not start.
bool StartKeyring();
}
