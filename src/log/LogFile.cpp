#include "log/LogFile.h"
#include "log/LogText.h"
#include "settings/OwnFiles.h"
#include "settings/ProgramInfo.h"
#include "settings/UserDataFolder.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
bool g_replyOpen = false;
QString g_heldLine;  // the open reply's last line, until its end comes
QString g_logFile;  // set: every record goes to this file
const QString LogFileName = QStringLiteral("telmorax.log");
qint64 g_sizeLimit = 16 * 1024 * 1024;
// A line held back longer than this (no real server prints one) is written as it is.
constexpr int MaxHeldLine = 64 * 1024;
std::function<void(const QString&)> g_reportProblem;
bool g_failing = false;  // the last write failed, and that has been told

// "telmorax.log" in the program's folder, writable or not.
QString programLogFilePath()
{
    return CheckPath(ProgramInfo::programFolder()) + LogFileName;
}

QString userLogFilePath()
{
    return CheckPath(UserDataFolder()) + LogFileName;
}

// A write that failed is told once; one that succeeds again ends the trouble.
bool outcome(bool written, const QString& path, const QString& reason)
{
    if (written) {
        g_failing = false;
    } else if (!g_failing) {
        g_failing = true;
        if (g_reportProblem)
            g_reportProblem(QStringLiteral("The log %1 cannot be written (%2): its records are lost until it can be written again.")
                                .arg(path, reason));
    }
    return written;
}

// A log that has reached its size limit becomes "<name>.1", replacing an older one. Only a
// regular file: a link in its place is not followed.
void rotateIfFull(const QString& path, qint64 adding)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::lstat(name.constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 && st.st_size + adding > g_sizeLimit)
        ::rename(name.constData(), (name + ".1").constData());
}

// Opens the log for appending (only a regular file: a FIFO or a link in its place is left
// alone), writes the bytes, closes it.
bool appendBytes(const QByteArray& bytes)
{
    const bool inProgramFolder = g_logFile.isEmpty() && ProgramFolderWritable();
    const QString path = !g_logFile.isEmpty() ? g_logFile : inProgramFolder ? programLogFilePath() : userLogFilePath();
    // The user's copy holds what the server printed (and commands): for its owner only.
    if (g_logFile.isEmpty() && !inProgramFolder && !MakeUserDataFolder())
        return outcome(false, path, QStringLiteral("its folder cannot be made"));
    rotateIfFull(path, bytes.size());
    errno = 0;
    const int fd = OwnFiles::OpenForAppend(path);
    if (fd < 0)
        return outcome(false, path, errno != 0 ? QString::fromLocal8Bit(std::strerror(errno)) : QStringLiteral("it is not a regular file"));
    // A log an earlier version made readable by others is narrowed before anything is added.
    struct stat st;
    if (::fstat(fd, &st) == 0 && (st.st_mode & 077) != 0)
        ::fchmod(fd, st.st_mode & 0700);
    QFile file;
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Append, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return outcome(false, path, file.errorString());
    }
    const bool ok = file.write(bytes) == bytes.size();
    file.close();
    return outcome(ok && file.error() == QFileDevice::NoError, path, file.errorString());
}

QByteArray logBytes(const QString& text)
{
    return CaretNotation(MaskPasswords(text)).toLatin1();
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
    return appendBytes(logBytes(record) + "\r\n");
}

bool AppendCommandRecord(const QString& time, const QString& command, const QString& note)
{
    return AppendLogRecord(time + QStringLiteral(" : ") + MaskPasswords(command) + note);
}

bool BeginOrContinueReplyRecord(const QString& part)
{
    g_replyOpen = true;
    g_heldLine += part;
    // Whole lines go now; the last one waits for its end, unless it is far too long.
    const int cut = g_heldLine.size() > MaxHeldLine ? g_heldLine.size() : g_heldLine.lastIndexOf(QLatin1Char('\n')) + 1;
    if (cut == 0)
        return true;
    const QString lines = g_heldLine.left(cut);
    g_heldLine.remove(0, cut);
    return appendBytes(logBytes(lines));
}

void EndOpenRecord()
{
    if (!g_replyOpen)
        return;
    g_replyOpen = false;
    const QString rest = g_heldLine;
    g_heldLine.clear();
    appendBytes(logBytes(rest) + "\r\n");
}

bool IsReplyRecordOpen()
{
    return g_replyOpen;
}

void SetLogSizeLimit(qint64 bytes)
{
    g_sizeLimit = bytes;
}

void SetLogProblemReporter(std::function<void(const QString&)> report)
{
    g_reportProblem = std::move(report);
}
