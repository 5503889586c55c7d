#pragma once
#include <QByteArray>
#include <QString>

// The user's own folder of the program, under the XDG data folder:
// $XDG_DATA_HOME/Quillhaven/telmorax (~/.local/share/Quillhaven/telmorax by default). What
// it holds (a log, the commands sent, the names learned from servers) is for its owner only.
QString UserDataFolder();

// Creates the folder, readable by its owner only, unless it is there already. False when it
// cannot be made.
bool MakeUserDataFolder();

// A file of that folder, whole: empty when it is missing, unreadable or over maxBytes.
QByteArray ReadUserDataFile(const QString& name, qint64 maxBytes);

// Writes a file of that folder whole or not at all: the bytes go to a temporary file that is
// made owner-only before anything is written, and that then takes the file's place, so a
// crash never leaves half a file. False, the old file untouched, when it cannot be written.
bool WriteUserDataFile(const QString& name, const QByteArray& bytes);
