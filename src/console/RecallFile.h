#pragma once
#include <QString>
#include <QStringList>

// The commands sent with Send, kept between runs in "recall.txt" of the user's folder (see
// UserDataFolder.h): a header line, then one command a line, oldest first, by
// CommandHistory's rules (the newest hundred, a command sent twice in a row once).

// True when a word of the command names a password: rconpassword, rcon_password,
// g_password, sv_privatePassword or password, in any letter case. Such a command is kept in
// the run's memory only, never written.
bool NamesPassword(const QString& command);

// The kept commands, oldest first. Empty when the file is missing, unreadable or damaged.
QStringList LoadRecallFile();

// Adds a command just sent to the file, read afresh so that what another window added stays.
// A command that names a password, or holds a line break, is not written. The file is
// written with the settings saved Soon (see SettingsStore.h), in the background a second
// after the last of them, or by FlushSettings(); a file that cannot be written stays as it was.
void AddToRecallFile(const QString& command);
