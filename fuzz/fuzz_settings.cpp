// The settings file as anything may leave it: arbitrary bytes in the INI file, then every key
// the program reads, and one save, through the program's own settings store functions.
#include "FuzzCheck.h"
#include "settings/ProgramInfo.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>
#include <memory>

namespace {
std::unique_ptr<QTemporaryDir> g_home;
long g_run = 0;

QStringList programKeys()
{
    QStringList keys = {Key::ServerAddr, Key::ServerPort, Key::ServerAddrPort, Key::Path, Key::AutoQueryMinutes,
        Key::TimeInterval, Key::EnableAutoQuery, Key::EnableLogging, Key::SavePassword, Key::Password,
        QStringLiteral("Port")};
    for (int n = 1; n <= 15; ++n)
        keys << QStringLiteral("ServerAddr%1").arg(n);
    for (int n = 1; n <= 10; ++n)
        keys << QStringLiteral("Port%1").arg(n);
    return keys;
}
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // A private XDG config home for the whole run; nothing of the user's is read or written.
    g_home = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", g_home->path().toLocal8Bit());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!g_home)
        LLVMFuzzerInitialize(nullptr, nullptr);
    // A fresh folder per input, so no cached copy of an earlier file can stand in for this one.
    if (g_run > 0)
        QDir(g_home->path() + QStringLiteral("/%1").arg(g_run - 1)).removeRecursively();
    const QString home = g_home->path() + QStringLiteral("/%1").arg(g_run++);
    QDir().mkpath(home + QStringLiteral("/") + ProgramInfo::Maker);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home);
    const QString file = home + QStringLiteral("/%1/%1.ini").arg(ProgramInfo::Maker);
    {
        QFile f(file);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }

    const QString app = ProgramInfo::Maker;
    const QString absent = QStringLiteral("<absent>");
    struct Read {
        QString section, key, value;
    };
    QList<Read> reads;
    for (const QString& section : {SettingsSection(), QueryServerSection()}) {
        for (const QString& key : programKeys())
            reads.append({section, key, GetSetting(app, section, key, absent)});
    }
    // Whatever else the file holds, under the program's sections, is readable too.
    {
        QSettings s(file, QSettings::IniFormat);
        for (const QString& section : {SettingsSection(), QueryServerSection()}) {
            s.beginGroup(QString(section).replace(QLatin1Char('\\'), QLatin1Char('/')));
            for (const QString& key : s.childKeys())
                reads.append({section, key, GetSetting(app, section, key, absent)});
            s.endGroup();
        }
    }
    // Reading is stable: the same key gives the same text twice.
    for (const Read& r : reads)
        FUZZ_CHECK(GetSetting(app, r.section, r.key, absent) == r.value);

    // A save into that file succeeds and reads back exactly, the other values stay as they
    // were, even when the file was damaged, and the file is its owner's alone.
    const QString value = QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<int>(qMin<size_t>(size, 40)));
    FUZZ_CHECK(SaveSetting(app, SettingsSection(), Key::ServerAddr, value));
    FUZZ_CHECK(GetSetting(app, SettingsSection(), Key::ServerAddr, absent) == value);
    FUZZ_CHECK((QFileInfo(file).permissions() & (QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther
                    | QFileDevice::WriteOther)) == 0);
    for (const Read& r : reads) {
        if (r.section == SettingsSection() && r.key == Key::ServerAddr)
            continue;
        FUZZ_CHECK(GetSetting(app, r.section, r.key, absent) == r.value);
    }
    return 0;
}
