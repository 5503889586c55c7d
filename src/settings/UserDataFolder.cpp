#include "settings/UserDataFolder.h"
#include "settings/ProgramInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <sys/stat.h>

QString UserDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1Char('/')
        + ProgramInfo::Maker + QLatin1Char('/') + ProgramInfo::Title;
}

bool MakeUserDataFolder()
{
    const QString folder = UserDataFolder();
    if (QFileInfo(folder).isDir())
        return true;
    if (!QDir().mkpath(folder))
        return false;
    return QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QByteArray ReadUserDataFile(const QString& name, qint64 maxBytes)
{
    QFile file(UserDataFolder() + QLatin1Char('/') + name);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxBytes)
        return QByteArray();
    return file.read(maxBytes);
}

bool WriteUserDataFile(const QString& name, const QByteArray& bytes)
{
    if (!MakeUserDataFolder())
        return false;
    QSaveFile file(UserDataFolder() + QLatin1Char('/') + name);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // The temporary file starts with the old file's mode or the default one; owner-only now,
    // before the first byte.
    if (::fchmod(file.handle(), S_IRUSR | S_IWUSR) != 0) {
        file.cancelWriting();
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
