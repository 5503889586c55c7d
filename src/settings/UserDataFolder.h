#pragma once
#include <QByteArray>
#include <QObject>
#include <QString>

// The user's own folder of the program, under the XDG data folder:
// $XDG_DATA_HOME/Quillhaven/telmorax (~/.local/share/Quillhaven/telmorax by default). What
// it holds (a log, the commands sent, the names learned from servers) is for its owner only.
QString UserDataFolder();

// Creates the folder, readable by its owner only (0700), unless it is there already. False
// when it cannot be made, or when the folder there (wherever a link leads) is not this
// user's alone: owned by someone else, or writable by others. Then nothing is read from it
// or written to it, and UserDataFolderNotice says so once.
bool MakeUserDataFolder();

// A file of that folder, whole: empty when it is missing, unreadable, not a regular file
// (see OwnFiles.h), or over maxBytes; with `cut` given, a larger file gives its first
// maxBytes and sets *cut.
QByteArray ReadUserDataFile(const QString& name, qint64 maxBytes, bool* cut = nullptr);

// Writes a file of that folder whole or not at all: the bytes go to a temporary file that is
// made owner-only before anything is written, and that then takes the file's place, so a
// crash never leaves half a file. False, the old file untouched, when it cannot be written,
// and when something other than a regular file (a link, a FIFO) stands in its place.
bool WriteUserDataFile(const QString& name, const QByteArray& bytes);

// Tells, once for each folder, that the user's folder cannot be used and why. The text is
// delivered from the event loop, so a window that connects after its start still hears it.
class UserDataFolderNotice : public QObject {
    Q_OBJECT
public:
    static UserDataFolderNotice* instance();
    void refused(const QString& folder);

signals:
    void unusable(const QString& text);
};
