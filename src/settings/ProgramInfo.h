#pragma once
#include <QString>

// Constants of this build, and the folder the program reads its reference lists from.
namespace ProgramInfo {
inline const QString Title = QStringLiteral("telmorax");            // names the settings sections and untitled message boxes
inline const QString ProductName = QStringLiteral("Quillhaven's Vantorin");
inline const QString Maker = QStringLiteral("Quillhaven");          // the settings store's application name
inline const QString Copyright = QStringLiteral("Copyright \u00A9 2026 Quillhaven. All rights reserved.");
// The project's version, from the build (CMakeLists.txt).
constexpr int VersionMajor = TELMORAX_VERSION_MAJOR;
constexpr int VersionMinor = TELMORAX_VERSION_MINOR;
constexpr int VersionRevision = TELMORAX_VERSION_PATCH;

// The folder of the program's reference lists: the executable's own, or share/telmorax beside
// its bin folder once installed. Tests may point it elsewhere.
QString programFolder();
void setProgramFolderForTesting(const QString& folder);  // empty: back to the real one
}
