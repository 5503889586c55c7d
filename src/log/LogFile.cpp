#include "log/LogFile.h"
#include "settings/ProgramInfo.h"

#include <QFile>

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
    QFile file(LogFilePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray bytes = record.toLatin1() + "\r\n";
    const bool ok = file.write(bytes) == bytes.size();
    file.close();
    return ok && file.error() == QFileDevice::NoError;
}
