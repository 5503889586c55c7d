#include "log/LogFile.h"
#include "settings/OwnFiles.h"
#include "settings/ProgramInfo.h"
#include "settings/UserDataFolder.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

namespace {
bool g_replyOpen = false;
QString g_logFile;  // set: every record goes to this file
const QString LogFileName = QStringLiteral("telmorax.log");

// "telmorax.log" in the program's folder, writable or not.
QString programLogFilePath()
{
    return CheckPath(ProgramInfo::programFolder()) + LogFileName;
}

QString userLogFilePath()
{
    return CheckPath(UserDataFolder()) + LogFileName;
}

// Opens the log for appending (only a regular file: a FIFO or a link in its place is left
// alone), writes the bytes, closes it.
bool appendBytes(const QByteArray& bytes)
{
    const bool inProgramFolder = g_logFile.isEmpty() && ProgramFolderWritable();
    // The user's copy holds what the server printed (and commands): for its owner only.
    if (g_logFile.isEmpty() && !inProgramFolder && !MakeUserDataFolder())
        return false;
    const int fd = OwnFiles::OpenForAppend(!g_logFile.isEmpty() ? g_logFile : inProgramFolder ? programLogFilePath() : userLogFilePath());
    if (fd < 0)
        return false;
    QFile file;
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Append, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    const bool ok = file.write(bytes) == bytes.size();
    file.close();
    return ok && file.error() == QFileDevice::NoError;
}
}

QString CheckPath(const QString& path)
{
    if (path.isEmpty() || path.endsWith(QLatin1Char('/')))
        return path;
    return path + QLatin1Char('/');
}

bool ProgramFolderWritable()
{
    const QByteArray folder = QFile::encodeName(ProgramInfo::programFolder());
    return !folder.isEmpty() && ::faccessat(AT_FDCWD, folder.constData(), W_OK | X_OK, AT_EACCESS) == 0;
}

QString LogFilePath()
{
    if (!g_logFile.isEmpty())
        return g_logFile;
    return ProgramFolderWritable() ? programLogFilePath() : userLogFilePath();
}

void SetLogFile(const QString& path)
{
    g_logFile = path;
}

bool AppendLogRecord(const QString& record)
{
    EndOpenRecord();
    return appendBytes(record.toLatin1() + "\r\n");
}

bool BeginOrContinueReplyRecord(const QString& part)
{
    g_replyOpen = true;
    if (part.isEmpty())
        return true;
    return appendBytes(part.toLatin1());
}

void EndOpenRecord()
{
    if (!g_replyOpen)
        return;
    g_replyOpen = false;
    appendBytes(QByteArrayLiteral("\r\n"));
}

bool IsReplyRecordOpen()
{
    return g_replyOpen;
}
