#include "settings/ProgramInfo.h"
#include <QCoreApplication>

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
    return QCoreApplication::applicationDirPath();
}

void ProgramInfo::setProgramFolderForTesting(const QString& folder)
{
    overrideFolder() = folder;
}
