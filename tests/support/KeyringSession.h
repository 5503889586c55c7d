#pragma once
class QObject;

// Runs a test object's functions twice: first here without a session bus, so with no keyring
// at all; then again in a process of its own under dbus-run-session, with a GNOME Keyring
// unlocked for it, in a home of its own. The bus, and with it the keyring daemon, ends when
// that run ends. Call from main() before anything else; returns the failures of both runs.
int RunWithoutAndWithKeyring(QObject& test, int argc, char** argv);

// True in the run with the keyring.
bool InKeyringSession();
