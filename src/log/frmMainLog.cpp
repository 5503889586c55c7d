#include "ui/frmMain.h"

#include "console/OutputPane.h"
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

void frmMain::ShowLogProblem(const QString& text)
{
    // It may come in the middle of a reply's line: it takes a line of its own.
    const QString pane = txtOutput->text();
    const bool lineOpen = !pane.isEmpty() && !pane.endsWith(QLatin1Char('\n'));
    txtOutput->setText(pane + (lineOpen ? QStringLiteral("\r\n") : QString()) + text + QStringLiteral("\r\n"));
    txtOutput->setSelStart(txtOutput->text().size());
}
