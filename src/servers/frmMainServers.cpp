// The main window's side of the Servers window, and the saved servers' passwords in its
// password box.
#include "ui/frmMain.h"

#include "console/RconDatagram.h"
#include "players/frmPlayers.h"
#include "servers/ServerList.h"
#include "servers/ServerPasswords.h"
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
            if (!password.isEmpty())
                UseSavedPassword(host, port, password);
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

namespace {
// The keyring entry of the server the boxes name; "" when they name none.
QString entryOfBoxes(const QComboBox* address, const QComboBox* port)
{
    const ServerBoxes boxes = ReadServerBoxes(TrimSpaces(address->currentText()), TrimSpaces(port->currentText()));
    return boxes.problemBox == ServerBoxes::None ? ServerPasswords::EntryOf(boxes.host, boxes.port) : QString();
}
}

void frmMain::ServerBoxes_Change()
{
    const ServerBoxes boxes = ReadServerBoxes(TrimSpaces(txtAddr->currentText()), TrimSpaces(txtPort->currentText()));
    if (boxes.problemBox != ServerBoxes::None || IndexOfServer(PeekServerList(), boxes.host, boxes.port) < 0)
        return LeaveSavedPassword();
    const QString entry = ServerPasswords::EntryOf(boxes.host, boxes.port);
    savedPasswords->read(boxes.host, boxes.port, this, [this, boxes, entry](const QString& password) {
        if (entryOfBoxes(txtAddr, txtPort) != entry)
            return;  // the boxes moved on: their own lookup decides
        if (savedPasswordFor.isEmpty() && passwordTypedFor == entry)
            return;  // typed for this very server: it stays
        if (password.isEmpty())
            LeaveSavedPassword();  // a saved server without a saved password: as any other
        else
            UseSavedPassword(boxes.host, boxes.port, password);
    });
}

void frmMain::txtPassword_Edited()
{
    savedPasswordFor.clear();
    passwordTypedFor = entryOfBoxes(txtAddr, txtPort);
}

void frmMain::UseSavedPassword(const QString& host, int port, const QString& password)
{
    if (savedPasswordFor.isEmpty()) {
        ownPassword = txtPassword->text();
        ownPasswordTyped = txtPassword->isModified();
    }
    savedPasswordFor = ServerPasswords::EntryOf(host, port);
    if (txtPassword->text() != password)
        txtPassword->setText(password);
}

void frmMain::LeaveSavedPassword()
{
    if (savedPasswordFor.isEmpty())
        return;
    savedPasswordFor.clear();
    txtPassword->setText(ownPassword);
    txtPassword->setModified(ownPasswordTyped);
}

QString frmMain::OwnPassword() const
{
    return savedPasswordFor.isEmpty() ? txtPassword->text() : ownPassword;
}
