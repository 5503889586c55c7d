// The settings file as anything may leave it: arbitrary bytes in the INI file, read and then
// saved into through the program's own settings store functions.
#include "FuzzCheck.h"
#include "settings/ProgramInfo.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A private config home for the whole run, and a fresh folder in it per input, so that no
    // cached copy of an earlier file can stand in for this one.
    static QTemporaryDir root;
    static int run = 0;
    QDir(root.path() + QStringLiteral("/%1").arg(run - 1)).removeRecursively();
    const QString home = root.path() + QStringLiteral("/%1").arg(run++);
    const QString app = ProgramInfo::Maker, file = home + QStringLiteral("/%1/%1.ini").arg(app);
    QDir().mkpath(QFileInfo(file).path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home));
    QFile f(file);
    FUZZ_CHECK(f.open(QIODevice::WriteOnly) && f.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size));
    f.close();

    // Every key the file holds in the program's two sections, and the one saved below.
    QList<std::pair<QString, QString>> keys = {{SettingsSection(), Key::ServerAddr}};
    for (const QString& section : {SettingsSection(), QueryServerSection()}) {
        QSettings raw(file, QSettings::IniFormat);
        raw.beginGroup(QString(section).replace(QLatin1Char('\\'), QLatin1Char('/')));
        for (const QString& key : raw.childKeys())
            keys.append({section, key});
    }
    QStringList before;
    for (const auto& [section, key] : keys)
        before << GetSetting(app, section, key, QStringLiteral("<absent>"));

    // A save into that file, damaged or not, reads back exactly, leaves every other value as
    // it was.
    const QString value = QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<int>(qMin<size_t>(size, 40)));
    FUZZ_CHECK(SaveSetting(app, SettingsSection(), Key::ServerAddr, value));
    for (int i = 0; i < keys.size(); ++i)
        FUZZ_CHECK(GetSetting(app, keys[i].first, keys[i].second, QStringLiteral("<absent>")) == (keys[i] == keys[0] ? value : before[i]));
    return 0;
}
