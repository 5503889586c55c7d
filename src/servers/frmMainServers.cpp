// The main window's side of the Servers window.
#include "ui/frmMain.h"

#include "players/frmPlayers.h"
#include "servers/frmServers.h"
#include "ui/ComboText.h"
#include "ui/VbCheckBox.h"

#include <QComboBox>
#include <QLineEdit>

void frmMain::mnuCommandsServers_Click()
{
    if (!servers) {
        frmServers::MainWindowLink link;
        link.readBoxes = [this](QString* address, QString* port, QString* password) {
            *address = txtAddr->currentText();
            *port = txtPort->currentText();
            *password = txtPassword->text();
        };
        link.fillBoxes = [this](const QString& host, int port, const QString& password) {
            SetComboText(txtAddr, host);
            SetComboText(txtPort, QString::number(port));
            txtPassword->setText(password);
            if (players)
                players->Refresh();  // it reads the boxes: it follows the server chosen
        };
        link.logging = [this] { return ckLog->value() == 1; };
        servers = new frmServers(std::move(link), this);
    }
    servers->show();
    servers->raise();
    servers->activateWindow();
}
