#include "log/LogFile.h"
#include "settings/ProgramInfo.h"
#include "settings/UserDataFolder.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

namespace {
bool g_replyOpen = false;
QString g_logFile;  // set: every record goes to this file
const QString LogFileName = QStringLiteral("telmorax.log");
constexpr QFileDevice::Permissions OwnerOnlyFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// "telmorax.log" in the program's folder, writable or not.
QString programLogFilePath()
{
    return CheckPath(ProgramInfo::programFolder()) + LogFileName;
}

QString userLogFilePath()
{
    return CheckPath(UserDataFolder()) + LogFileName;
}

// Opens the log for appending, writes the bytes, closes it.
bool appendBytes(const QByteArray& bytes)
{
    const bool inProgramFolder = g_logFile.isEmpty() && ProgramFolderWritable();
    QFile file(!g_logFile.isEmpty() ? g_logFile : inProgramFolder ? programLogFilePath() : userLogFilePath());
    bool opened = false;
    if (!g_logFile.isEmpty()) {
        opened = file.open(QIODevice::WriteOnly | QIODevice::Append, OwnerOnlyFile);
    } else if (inProgramFolder) {
        opened = file.open(QIODevice::WriteOnly | QIODevice::Append);
    } else {
        // The user's copy holds what the server printed (and commands): for its owner only.
        if (!MakeUserDataFolder())
            return false;
        opened = file.open(QIODevice::WriteOnly | QIODevice::Append, OwnerOnlyFile);
    }
    if (!opened)
        return false;
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
