// The main window's side of the Bans window: it opens it and sends its actions.
#include "ui/frmMain.h"

#include "bans/frmBans.h"

#include <QComboBox>
#include <QLineEdit>

void frmMain::mnuCommandsBans_Click()
{
    if (!bans) {
        bans = new frmBans([this] { return MainWindowBoxes{txtAddr->currentText(), txtPort->currentText(), txtPassword->text()}; }, this);
        connect(bans, &frmBans::commandForServer, this, &frmMain::SendToServer);
        connect(this, &frmMain::actionAnswered, bans->lblAnswer, &AnswerLine::answered);
    }
    bans->show();
    bans->raise();
    bans->activateWindow();
}
