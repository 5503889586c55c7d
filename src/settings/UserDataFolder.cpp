#include "settings/UserDataFolder.h"
#include "settings/OwnFiles.h"
#include "settings/ProgramInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>

#include <sys/stat.h>

namespace {
QString pathOf(const QString& name)
{
    return UserDataFolder() + QLatin1Char('/') + name;
}

// The folder as it is, made when missing: usable or not.
bool usableFolder()
{
    const QString folder = UserDataFolder();
    if (!QFileInfo::exists(folder)) {
        if (!QDir().mkpath(QFileInfo(folder).absolutePath()))
            return false;
        const QByteArray name = QFile::encodeName(folder);
        if (::mkdir(name.constData(), 0700) == 0)
            ::chmod(name.constData(), 0700);  // whatever the umask took away
    }
    if (OwnFiles::FolderIsPrivate(folder))
        return true;
    if (QFileInfo::exists(folder))
        UserDataFolderNotice::instance()->refused(folder);
    return false;
}
}

QString UserDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1Char('/')
        + ProgramInfo::Maker + QLatin1Char('/') + ProgramInfo::Title;
}

bool MakeUserDataFolder()
{
    return usableFolder();
}

QByteArray ReadUserDataFile(const QString& name, qint64 maxBytes, bool* cut)
{
    if (cut)
        *cut = false;
    const QString folder = UserDataFolder();
    if (!QFileInfo::exists(folder))
        return QByteArray();  // nothing kept yet; the folder is made with the first file
    if (!OwnFiles::FolderIsPrivate(folder)) {
        UserDataFolderNotice::instance()->refused(folder);
        return QByteArray();
    }
    return OwnFiles::Read(pathOf(name), maxBytes, cut);
}

bool WriteUserDataFile(const QString& name, const QByteArray& bytes)
{
    if (!MakeUserDataFolder())
        return false;
    // A new file takes the place of the old one, but a link there would be followed, and a
    // FIFO or folder is not this program's file.
    if (OwnFiles::Look(pathOf(name), 0) == OwnFiles::Place::Other)
        return false;
    QSaveFile file(pathOf(name));
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

UserDataFolderNotice* UserDataFolderNotice::instance()
{
    static UserDataFolderNotice notice;
    return &notice;
}

void UserDataFolderNotice::refused(const QString& folder)
{
    // The recall file is written from a background thread.
    static QMutex mutex;
    static QSet<QString> told;
    const QMutexLocker lock(&mutex);
    if (told.contains(folder))
        return;
    told.insert(folder);
    const QString text = QStringLiteral("The folder %1 is not used: it belongs to another user or others may write in it. "
                                        "Commands for recall, names learned from servers and the log are not kept there.")
                             .arg(folder);
    QMetaObject::invokeMethod(this, [this, text] { emit unusable(text); }, Qt::QueuedConnection);
}
