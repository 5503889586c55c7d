// The main window's side of the Maps window: it opens it and sends its actions.
#include "ui/frmMain.h"

#include "maps/frmMaps.h"

#include <QComboBox>
#include <QLineEdit>

void frmMain::mnuCommandsMaps_Click()
{
    if (!maps) {
        maps = new frmMaps([this] { return MainWindowBoxes{txtAddr->currentText(), txtPort->currentText(), txtPassword->text()}; }, this);
        connect(maps, &frmMaps::commandForServer, this, &frmMain::SendToServer);
        connect(this, &frmMain::actionAnswered, maps->lblAnswer, &AnswerLine::answered);
    }
    maps->show();
    maps->raise();
    maps->activateWindow();
}
