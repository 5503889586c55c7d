#include "log/LogFile.h"
#include "settings/ProgramInfo.h"

#include <QFile>

namespace {
bool g_replyOpen = false;

// Opens the log for appending, writes the bytes, closes it.
bool appendBytes(const QByteArray& bytes)
{
    QFile file(LogFilePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
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

QString LogFilePath()
{
    return CheckPath(ProgramInfo::programFolder()) + QStringLiteral("telmorax.log");
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
