// Menu items that open the reference lists and the maker's web pages, and the About box.
#include "ui/frmMain.h"

#include "ui/Launcher.h"
#include "ui/OpenTextFile.h"
#include "ui/WebLinks.h"
#include "ui/frmAbout.h"

#include <QUrl>

namespace {
const QString ReferenceTitle = QStringLiteral("Vantorin Commands");

// The browser opens the page by itself; whether one was found is not reported.
void OpenWebPage(const QString& address)
{
    Launcher::openUrl(QUrl(address));
}
}

void frmMain::mnuViewCommands_Click()
{
    OpenTextFile(this, ProgramFile(QStringLiteral("commands.txt")), QMessageBox::Warning,
        QStringLiteral("Commands.txt appears to be missing!  Try repairing the application using the original setup files."),
        ReferenceTitle);
}

void frmMain::mnuViewVariables_Click()
{
    OpenTextFile(this, ProgramFile(QStringLiteral("variables.txt")), QMessageBox::Warning,
        QStringLiteral("Variables.txt appears to be missing!  Try repairing the application using the original setup files."),
        ReferenceTitle);
}

void frmMain::mnuHelpUpdate_Click()
{
    OpenWebPage(WebLinks::UpdateAddress());
}

void frmMain::mnuHelpFeedback_Click()
{
    OpenWebPage(WebLinks::FeedbackAddress());
}

void frmMain::mnuHelpBug_Click()
{
    OpenWebPage(WebLinks::BugReportAddress());
}

void frmMain::mnuHelpQuillhavenHome_Click()
{
    OpenWebPage(WebLinks::HomeAddress());
}

void frmMain::mnuHelpAbout_Click()
{
    // A fresh box each time, so its load handler runs at every showing; the main window
    // waits until it closes.
    frmAbout about;
    about.exec();
}
