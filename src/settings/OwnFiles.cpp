#include "settings/OwnFiles.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace OwnFiles {

Place Look(const QString& path, qint64 maxBytes)
{
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return errno == ENOENT ? Place::Missing : Place::Other;
    if (!S_ISREG(st.st_mode))
        return Place::Other;
    return st.st_size > maxBytes ? Place::TooBig : Place::Regular;
}

QByteArray Read(const QString& path, qint64 maxBytes, bool* cut)
{
    if (cut)
        *cut = false;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return QByteArray();
    QByteArray bytes;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && (cut || st.st_size <= maxBytes)) {
        // One byte more than allowed tells a file that grew past the limit meanwhile.
        bytes.resize(maxBytes + 1);
        qint64 got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                if (n < 0)
                    got = 0;  // a read error: nothing of it
                break;
            }
            got += n;
        }
        bytes.truncate(int(got));
        if (bytes.size() > maxBytes) {
            bytes.truncate(int(maxBytes));
            if (cut)
                *cut = true;
            else
                bytes.clear();
        }
    }
    ::close(fd);
    return bytes;
}

int OpenForAppend(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
        O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    // Writes to a regular file never wait; the flag only kept open() from waiting.
    ::fcntl(fd, F_SETFL, O_APPEND);
    return fd;
}

bool FolderIsPrivate(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid()
        && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}
