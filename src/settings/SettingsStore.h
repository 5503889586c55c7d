#pragma once
#include <QString>

// The per-user settings store: string values by application, section and key.
// A key that is absent reads as the default; a key present with "" reads as "".
QString GetSetting(const QString& app, const QString& section, const QString& key, const QString& defaultValue = QString());
bool SaveSetting(const QString& app, const QString& section, const QString& key, const QString& value);

// The program's two sections.
QString SettingsSection();     // "telmorax\Settings"
QString QueryServerSection();  // "telmorax\QueryServer"

// Keys of the settings section, each named once, with their defaults.
namespace Key {
inline const QString ServerAddr = QStringLiteral("ServerAddr");
inline const QString ServerPort = QStringLiteral("ServerPort");
inline const QString ServerAddrPort = QStringLiteral("ServerAddrPort");
inline const QString Path = QStringLiteral("Path");
inline const QString AutoQueryMinutes = QStringLiteral("AutoQueryMinutes");
inline const QString TimeInterval = QStringLiteral("TimeInterval");
inline const QString EnableAutoQuery = QStringLiteral("EnableAutoQuery");
inline const QString EnableLogging = QStringLiteral("EnableLogging");
inline const QString SavePassword = QStringLiteral("SavePassword");
inline const QString Password = QStringLiteral("Password");
}
namespace Default {
inline const QString ServerAddr = QString();
inline const QString ServerPort = QStringLiteral("27960");
inline const QString AutoQueryMinutes = QStringLiteral("5");
inline const QString TimeInterval = QStringLiteral("Minutes");
inline const QString CheckBox = QStringLiteral("0");
inline const QString Password = QString();
}

// Shorthands for the settings section of this program's store.
QString GetProgramSetting(const QString& key, const QString& defaultValue = QString());
bool SaveProgramSetting(const QString& key, const QString& value);
