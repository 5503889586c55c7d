#include "ui/frmMain.h"

#include "log/LogFile.h"

QString frmMain::CheckPath(const QString& path) const
{
    return ::CheckPath(path);
}

void frmMain::mnuFileViewLog_Click()
{
}
