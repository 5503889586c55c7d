#include "log/LogFile.h"
#include "log/LogText.h"
#include "settings/ProgramInfo.h"
#include "settings/UserDataFolder.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
bool g_replyOpen = false;
QString g_heldLine;  // the open reply's last line, until its end comes
QString g_logFile;  // set: every record goes to this file
const QString LogFileName = QStringLiteral("telmorax.log");
constexpr QFileDevice::Permissions OwnerOnlyFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
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

// A log that has reached its size limit becomes "<name>.1", replacing an older one.
void rotateIfFull(const QString& path, qint64 adding)
{
    const qint64 size = QFileInfo(path).size();
    if (size > 0 && size + adding > g_sizeLimit) {
        const QString old = path + QStringLiteral(".1");
        ::rename(QFile::encodeName(path).constData(), QFile::encodeName(old).constData());
    }
}

// Opens the log for appending, writes the bytes, closes it.
bool appendBytes(const QByteArray& bytes)
{
    const bool inProgramFolder = g_logFile.isEmpty() && ProgramFolderWritable();
    QFile file(!g_logFile.isEmpty() ? g_logFile : inProgramFolder ? programLogFilePath() : userLogFilePath());
    rotateIfFull(file.fileName(), bytes.size());
    // What the server printed, and the commands: for the log's owner only.
    bool opened = false;
    if (!g_logFile.isEmpty()) {
        opened = file.open(QIODevice::WriteOnly | QIODevice::Append, OwnerOnlyFile);
    } else if (inProgramFolder) {
        opened = file.open(QIODevice::WriteOnly | QIODevice::Append, OwnerOnlyFile);
    } else {
        if (!MakeUserDataFolder())
            return outcome(false, file.fileName(), QStringLiteral("its folder cannot be made"));
        opened = file.open(QIODevice::WriteOnly | QIODevice::Append, OwnerOnlyFile);
    }
    if (!opened)
        return outcome(false, file.fileName(), file.errorString());
    // A log an earlier version made readable by others is narrowed before anything is added.
    struct stat st;
    if (::fstat(file.handle(), &st) == 0 && (st.st_mode & 077) != 0)
        ::fchmod(file.handle(), st.st_mode & 0700);
    const bool ok = file.write(bytes) == bytes.size();
    file.close();
    return outcome(ok && file.error() == QFileDevice::NoError, file.fileName(), file.errorString());
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
