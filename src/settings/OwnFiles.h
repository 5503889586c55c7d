#pragma once
#include <QByteArray>
#include <QString>

// The checks every file of the user's folders goes through before it is opened: the
// settings file, the commands kept for recall, the names learned from servers, the log and
// the server list. A file is used only when it is a regular file reached without a symbolic
// link at its last component; a FIFO, a device, a folder or a link in its place is left
// alone (opening a FIFO would wait for a writer for ever), and reads as missing.
namespace OwnFiles {

// How a file's place looks before it is opened; nothing is opened to find out.
enum class Place {
    Missing,  // nothing there: it may be created
    Regular,  // a regular file of at most the size asked
    TooBig,   // a regular file larger than that
    Other,    // a link, FIFO, device, folder or something unreadable: leave it alone
};
Place Look(const QString& path, qint64 maxBytes);

// The file's bytes when it is a regular file: opened without following a link and without
// waiting (O_NOFOLLOW, O_NONBLOCK), then checked on the open file itself. Empty when it is
// anything else. A file over maxBytes reads as empty, or, when `cut` is given, as its first
// maxBytes bytes with *cut set.
QByteArray Read(const QString& path, qint64 maxBytes, bool* cut = nullptr);

// Opens the file for appending, created with mode 0600 when missing, only when it is a
// regular file: the descriptor, or -1.
int OpenForAppend(const QString& path);

// True when the folder (wherever a link leads) is owned by this user and writable by no one
// else. Folders not there yet are not this user's either.
bool FolderIsPrivate(const QString& path);

}
