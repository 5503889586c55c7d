// Command dispatch of the main window: Send, Server Info, Status.
#include "ui/frmMain.h"

#include "console/LocaleNumber.h"
#include "console/OutputPane.h"
#include "console/RconDatagram.h"
#include "console/TimeOfDay.h"
#include "console/UdpClient.h"
#include "log/LogFile.h"
#include "settings/SettingsStore.h"
#include "ui/MessageBox.h"
#include "ui/VbCheckBox.h"

#include <QComboBox>
#include <QLineEdit>

void frmMain::cmdConnect_Click()
{
    strCommand = TrimSpaces(txtCommand->text());
    strAddr = TrimSpaces(txtAddr->currentText());
    strPort = TrimSpaces(txtPort->currentText());
    strPassword = TrimSpaces(txtPassword->text());

    if (strAddr.isEmpty()) {
        MessageBox::show(this, QStringLiteral("You must provide a server address."));
        txtAddr->setFocus();
        return;
    }
    if (strPort.isEmpty()) {
        MessageBox::show(this, QStringLiteral("You must provide a server port.  Default: 27960"));
        txtPort->setFocus();
        return;
    }
    // A port that is not a real port never gets the password sent anywhere.
    const std::optional<int> port = ConvertPort(strPort);
    if (!port) {
        MessageBox::show(this, QStringLiteral("The server port must be a number from 1 to 65535."));
        txtPort->setFocus();
        return;
    }
    if (strCommand.isEmpty()) {
        txtCommand->setFocus();
        return;
    }
    if (strPassword.isEmpty()) {
        MessageBox::show(this, QStringLiteral("You must provide the rcon password."));
        txtPassword->setFocus();
        return;
    }

    udpClient->setRemoteHost(strAddr);
    udpClient->setRemotePort(*port);
    udpClient->setLocalPort(udpClient->remotePort());
    udpClient->sendData(BuildRequest(strPassword, strCommand));

    const QString time = TimeOfDay();
    txtOutput->setText(txtOutput->text() + time + QStringLiteral(" : ") + strCommand + QStringLiteral("\r\n"));

    if (ckLog->value() == 1)
        AppendLogRecord(time + QStringLiteral(" : ") + strCommand);

    // Only what the user sent from here is offered again by Up in the command box.
    commandRecall.record(strCommand);

    strCommand.clear();
    txtCommand->clear();
    txtCommand->setFocus();

    // Written by a background thread, so that the reply is not kept waiting for the disk.
    SaveProgramSetting(Key::ServerAddr, TrimSpaces(txtAddr->currentText()), When::Soon);
    SaveProgramSetting(Key::ServerPort, TrimSpaces(txtPort->currentText()), When::Soon);

    AddAddrHist(txtAddr->currentText());
    AddPortHist(txtPort->currentText());
}

bool frmMain::txtCommand_KeyDown(int key)
{
    QString text;
    switch (key) {
    case Qt::Key_Up:
        if (commandRecall.up(txtCommand->text(), &text))
            txtCommand->setText(text);  // the caret goes to the end
        return true;
    case Qt::Key_Down:
        if (commandRecall.down(&text))
            txtCommand->setText(text);
        return true;
    case Qt::Key_Escape:
        commandRecall.stopRecall();
        txtCommand->clear();
        return true;
    default:
        return false;
    }
}

void frmMain::Command1_Click()
{
    txtCommand->setText(QStringLiteral("serverinfo"));
    cmdConnect_Click();
}

void frmMain::Command2_Click()
{
    txtCommand->setText(QStringLiteral("status"));
    cmdConnect_Click();
}

void frmMain::mnuCommandsStatus_Click()
{
    Command2_Click();
}

void frmMain::mnuCommandsServerInfo_Click()
{
    Command1_Click();
}

