#include "settings/SettingsStore.h"
#include "settings/ProgramInfo.h"

#include <QSettings>

namespace {
QString groupOf(const QString& section)
{
    QString g = section;
    g.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return g;
}
}

QString GetSetting(const QString& app, const QString& section, const QString& key, const QString& defaultValue)
{
    QSettings s(QSettings::IniFormat, QSettings::UserScope, app, app);
    s.beginGroup(groupOf(section));
    if (!s.contains(key))
        return defaultValue;
    return s.value(key).toString();
}

bool SaveSetting(const QString& app, const QString& section, const QString& key, const QString& value)
{
    QSettings s(QSettings::IniFormat, QSettings::UserScope, app, app);
    s.beginGroup(groupOf(section));
    s.setValue(key, value);
    s.endGroup();
    s.sync();
    return s.status() == QSettings::NoError;
}

QString SettingsSection()
{
    return ProgramInfo::Title + QStringLiteral("\\Settings");
}

QString QueryServerSection()
{
    return ProgramInfo::Title + QStringLiteral("\\QueryServer");
}

QString GetProgramSetting(const QString& key, const QString& defaultValue)
{
    return GetSetting(ProgramInfo::Maker, SettingsSection(), key, defaultValue);
}

bool SaveProgramSetting(const QString& key, const QString& value)
{
    return SaveSetting(ProgramInfo::Maker, SettingsSection(), key, value);
}
