// Menu items that open the reference lists and the maker's web pages, and the About box.
#include "ui/frmMain.h"

void frmMain::mnuViewCommands_Click()
{
}

void frmMain::mnuViewVariables_Click()
{
}

void frmMain::mnuHelpUpdate_Click()
{
}

void frmMain::mnuHelpFeedback_Click()
{
}

void frmMain::mnuHelpBug_Click()
{
}

void frmMain::mnuHelpQuillhavenHome_Click()
{
}

void frmMain::mnuHelpAbout_Click()
{
}
