#include "settings/ProgramInfo.h"
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {
QString& overrideFolder()
{
    static QString folder;
    return folder;
}
}

QString ProgramInfo::programFolder()
{
    if (!overrideFolder().isEmpty())
        return overrideFolder();
    // The build puts the reference lists beside the executable; installed, the executable is in
    // bin and they are in share/telmorax beside it (where CMakeLists.txt installs them).
    static const QString folder = [] {
        const QString executable = QCoreApplication::applicationDirPath();
        const QString installed = QDir::cleanPath(executable + QStringLiteral("/../share/telmorax"));
        return QFileInfo(installed).isDir() ? installed : executable;
    }();
    return folder;
}

void ProgramInfo::setProgramFolderForTesting(const QString& folder)
{
    overrideFolder() = folder;
}
