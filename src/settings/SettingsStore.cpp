#include "settings/SettingsStore.h"
#include "settings/OwnFiles.h"
#include "settings/PendingWrites.h"
#include "settings/ProgramInfo.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr mode_t PrivateFolder = 0700;
constexpr mode_t PrivateFile = 0600;
// Far more than this program ever saves; a larger file is not this program's.
constexpr qint64 MaxStoreBytes = 1024 * 1024;

// One store file per application, and only that one: no system-wide or shared fallback
// files are consulted, so what is read is exactly what this user's program saved.
QString storeFile(const QString& app)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') + app
        + QLatin1Char('/') + app + QStringLiteral(".ini");
}

// The store opens its file itself, and would wait for ever on a FIFO: it is given the file
// only when that is missing or a regular file of a sensible size. Anything else reads as
// an empty store and is never written.
bool storeUsable(const QString& file)
{
    const OwnFiles::Place place = OwnFiles::Look(file, MaxStoreBytes);
    return place == OwnFiles::Place::Missing || place == OwnFiles::Place::Regular;
}

QString groupOf(const QString& section)
{
    QString g = section;
    g.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return g;
}

// Every value is saved as a string and comes back as one. A file edited by hand can hold
// an unquoted list ("a,b"); it reads as its items joined by commas again.
QString textOf(const QVariant& v)
{
    if (v.metaType().id() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

// Creates the folder and every missing folder above it, each one enterable by its owner
// only. Folders that exist already are left as they are.
bool makePrivateFolder(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return true;
    if (info.exists() || info.isSymLink())
        return false;  // something that is not a folder stands in the way
    const QString parent = info.absolutePath();
    if (parent != info.absoluteFilePath() && !makePrivateFolder(parent))
        return false;
    const QByteArray name = QFile::encodeName(info.absoluteFilePath());
    if (::mkdir(name.constData(), PrivateFolder) != 0)
        return errno == EEXIST && QFileInfo(path).isDir();
    ::chmod(name.constData(), PrivateFolder);  // whatever the umask took away
    return true;
}

// The settings file exists and only its owner may read or write it. A new file is created
// that way before anything is written into it; an existing one is narrowed to that. Only
// a regular file is ever changed: a folder or a device in its place is left alone.
void makePrivateFile(const QString& fileName, bool create)
{
    const QByteArray name = QFile::encodeName(fileName);
    struct stat st;
    if (::stat(name.constData(), &st) == 0) {
        if (S_ISREG(st.st_mode) && (st.st_mode & 07777) != PrivateFile)
            ::chmod(name.constData(), PrivateFile);
        return;
    }
    if (errno != ENOENT || !create)
        return;
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, PrivateFile);
    if (fd < 0)
        return;
    ::fchmod(fd, PrivateFile);
    ::close(fd);
}

// Writes values into the application's file, in order, and syncs it once: the file is
// replaced in one piece.
bool writeSettings(const QString& app, const QList<PendingWrites::Value>& values)
{
    const QString file = storeFile(app);
    if (!storeUsable(file))
        return false;
    // The file is made private before the value goes in: the store writes a new copy beside
    // it and takes over the old file's permissions.
    if (makePrivateFolder(QFileInfo(file).absolutePath()))
        makePrivateFile(file, true);
    QSettings s(file, QSettings::IniFormat);
    for (const PendingWrites::Value& v : values) {
        s.beginGroup(groupOf(v.section));
        s.setValue(v.key, v.value);
        s.endGroup();
    }
    s.sync();
    // A damaged file still takes the value (its format error comes from reading it);
    // only a write that failed loses it.
    const bool saved = s.status() != QSettings::AccessError;
    makePrivateFile(file, false);
    return saved;
}
}

QString GetSetting(const QString& app, const QString& section, const QString& key, const QString& defaultValue)
{
    return GetSettings(app, section, {key}, defaultValue).constFirst();
}

QStringList GetSettings(const QString& app, const QString& section, const QStringList& keys, const QString& defaultValue)
{
    // Looked up before the file is read: a value no longer waiting is in the file by then.
    QList<std::optional<QString>> pending;
    for (const QString& key : keys)
        pending.append(PendingWrites::find(app, section, key));
    const QString file = storeFile(app);
    std::optional<QSettings> s;
    if (storeUsable(file)) {
        s.emplace(file, QSettings::IniFormat);
        s->beginGroup(groupOf(section));
    }
    QStringList values;
    for (int i = 0; i < keys.size(); ++i) {
        if (pending.at(i))
            values.append(*pending.at(i));
        else
            values.append(s && s->contains(keys.at(i)) ? textOf(s->value(keys.at(i))) : defaultValue);
    }
    return values;
}

bool SaveSetting(const QString& app, const QString& section, const QString& key, const QString& value, When when)
{
    if (when == When::Soon) {
        PendingWrites::add(app, {section, key, value}, &writeSettings);
        return true;
    }
    PendingWrites::writeNow();  // a value saved Soon before never lands after this one
    return writeSettings(app, {{section, key, value}});
}

void FlushSettings()
{
    PendingWrites::writeNow();
}

QString SettingsSection()
{
    return ProgramInfo::Title + QStringLiteral("\\Settings");
}

QString QueryServerSection()
{
    return ProgramInfo::Title + QStringLiteral("\\QueryServer");
}

QString Key::AddressSlot(int n)
{
    return ServerAddr + QString::number(n);
}

QString Key::PortSlot(int n)
{
    return Port + QString::number(n);
}

QString Key::AddressOverflow()
{
    return AddressSlot(1);
}

QString CheckBoxText(int value)
{
    return QString::number(value);
}

std::optional<int> CheckBoxFromText(const QString& text)
{
    // Plain decimal digits with an optional sign; blanks around are ignored.
    bool ok = false;
    const short value = text.toShort(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

QString GetProgramSetting(const QString& key, const QString& defaultValue)
{
    return GetSetting(ProgramInfo::Maker, SettingsSection(), key, defaultValue);
}

QStringList GetProgramSettings(const QStringList& keys, const QString& defaultValue)
{
    return GetSettings(ProgramInfo::Maker, SettingsSection(), keys, defaultValue);
}

bool SaveProgramSetting(const QString& key, const QString& value, When when)
{
    return SaveSetting(ProgramInfo::Maker, SettingsSection(), key, value, when);
}

bool SaveQueryServerSetting(const QString& key, const QString& value, When when)
{
    return SaveSetting(ProgramInfo::Maker, QueryServerSection(), key, value, when);
}
