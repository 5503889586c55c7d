#include "ui/frmMain.h"

#include "log/LogFile.h"
#include "ui/OpenTextFile.h"

QString frmMain::CheckPath(const QString& path) const
{
    return ::CheckPath(path);
}

void frmMain::mnuFileViewLog_Click()
{
    // The log where this user's records go: the program's folder, or the user's own copy
    // when the program's folder is not writable.
    OpenTextFile(this, LogFilePath(), QMessageBox::Information,
        QStringLiteral("A log file has not been created.  Be sure to enable logging by checking the option in the ADVANCED panel."),
        QStringLiteral("Vantorin Log File"));
}
