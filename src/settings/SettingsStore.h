#pragma once
#include <QString>
#include <QStringList>
#include <optional>

// The per-user settings store: string values by application, section and key, kept in the
// INI file <XDG config folder>/<application>/<application>.ini. A section "a\b" is the
// group a/b of that file.
//
// A key that is absent reads as the default; a key present with "" reads as "". Every
// string comes back exactly as it was saved. The file can hold the rcon password, so it
// is created, and kept after every save, readable and writable by its owner only, in a
// folder that only its owner can enter when the store creates it.
//
// A store file that is not a regular file (a FIFO, a device, a folder, a symbolic link) or
// is over 1 MB is left alone: it reads as empty and nothing is saved into it.
// A store that cannot be read reads as empty (every key gives its default); a value that
// cannot be saved is lost alone: SaveSetting returns false and nothing else changes.
//
// A value is saved Now (in the file, synced to disk, when the call returns) or Soon, so
// that the caller does not wait for the disk: once no value has been saved Soon for a
// second, a background thread writes those saved Soon together, the file replaced in one
// piece. Reads see a value saved Soon at once; saving Now first writes those saved Soon
// before; FlushSettings() writes them (and the recall file's waiting commands) and returns
// when they are on the disk. The program flushes before it ends.
enum class When { Now, Soon };
QString GetSetting(const QString& app, const QString& section, const QString& key, const QString& defaultValue = QString());
bool SaveSetting(const QString& app, const QString& section, const QString& key, const QString& value, When when = When::Now);
// Several keys of one section, in one reading of the file; each as GetSetting gives it.
QStringList GetSettings(const QString& app, const QString& section, const QStringList& keys, const QString& defaultValue = QString());
void FlushSettings();

// The program's two sections.
QString SettingsSection();     // "telmorax\Settings": the window's fields and options, and the histories
QString QueryServerSection();  // "telmorax\QueryServer": only the overflow of a full address history

// Keys of the settings section, each named once; the defaults of those that are read.
namespace Key {
inline const QString ServerAddr = QStringLiteral("ServerAddr");          // last address, trimmed
inline const QString ServerPort = QStringLiteral("ServerPort");          // last port sent, trimmed
inline const QString ServerAddrPort = QStringLiteral("ServerAddrPort");  // port box at close; never read
inline const QString Path = QStringLiteral("Path");                      // the running program; never read
inline const QString AutoQueryMinutes = QStringLiteral("AutoQueryMinutes");
inline const QString TimeInterval = QStringLiteral("TimeInterval");
inline const QString EnableAutoQuery = QStringLiteral("EnableAutoQuery");
inline const QString EnableLogging = QStringLiteral("EnableLogging");
inline const QString SavePassword = QStringLiteral("SavePassword");
inline const QString Password = QStringLiteral("Password");
inline const QString Port = QStringLiteral("Port");  // only ever set to "" by Clear History; never read
// The Players window: its size and place and its table's columns (Qt's saved states, in
// base64), and the seconds between its refreshes.
inline const QString PlayersGeometry = QStringLiteral("PlayersGeometry");
inline const QString PlayersColumns = QStringLiteral("PlayersColumns");
inline const QString PlayersRefreshSeconds = QStringLiteral("PlayersRefreshSeconds");
inline const QString ShowColours = QStringLiteral("ShowColours");  // "1": colour codes drawn as colours, "0": shown as text
// The Servers window: its size and place, its table's columns, the split between the table
// and the results (Qt's saved states, in base64), and the seconds between two polls.
inline const QString ServersGeometry = QStringLiteral("ServersGeometry");
inline const QString ServersColumns = QStringLiteral("ServersColumns");
inline const QString ServersSplitter = QStringLiteral("ServersSplitter");
inline const QString ServersPollSeconds = QStringLiteral("ServersPollSeconds");
// The program's memory: the days sightings are kept, the admin's name in the journal (the
// login name when blank), and the last reasons given for a kick or a ban (one a line).
inline const QString KeepSightingsDays = QStringLiteral("KeepSightingsDays");
inline const QString AdminName = QStringLiteral("AdminName");
inline const QString LastReasons = QStringLiteral("LastReasons");
// Where the memory lives: a team database's URL (postgresql://USER@HOST:PORT/DATABASE, with
// ?sslmode=disable when the admin turned TLS off), or blank for the local file. Never a password.
inline const QString TeamDatabase = QStringLiteral("TeamDatabase");

// History slots: "ServerAddr1".."ServerAddr15" and "Port1".."Port10".
constexpr int AddressSlots = 15;
constexpr int PortSlots = 10;
QString AddressSlot(int n);
QString PortSlot(int n);
// In the query-server section: where an address goes when all address slots are taken.
QString AddressOverflow();
}
namespace Default {
inline const QString ServerAddr = QString();
inline const QString ServerPort = QStringLiteral("27960");
inline const QString AutoQueryMinutes = QStringLiteral("5");
inline const QString TimeInterval = QStringLiteral("Minutes");
inline const QString CheckBox = QStringLiteral("0");  // EnableAutoQuery, EnableLogging, SavePassword
inline const QString Password = QString();
inline const QString Slot = QString();  // a free history slot
inline const QString PlayersRefreshSeconds = QStringLiteral("10");
inline const QString ShowColours = QStringLiteral("1");
inline const QString ServersPollSeconds = QStringLiteral("15");
}

// A check box value as it is stored ("0", "1", "2") and read back. Reading accepts a whole
// decimal number with blanks around it and an optional sign; anything else (letters, "",
// a fraction, a number beyond 16 bits) is no value at all.
QString CheckBoxText(int value);
std::optional<int> CheckBoxFromText(const QString& text);

// Shorthands for this program's store.
QString GetProgramSetting(const QString& key, const QString& defaultValue = QString());
QStringList GetProgramSettings(const QStringList& keys, const QString& defaultValue = QString());
bool SaveProgramSetting(const QString& key, const QString& value, When when = When::Now);
bool SaveQueryServerSetting(const QString& key, const QString& value, When when = When::Now);
