// Command dispatch of the main window: Send, Server Info, Status.
#include "ui/frmMain.h"

#include "console/ErrorBurst.h"

#include "console/OutputPane.h"
#include "console/RconDatagram.h"
#include "console/RecallFile.h"
#include "console/Shutdown.h"
#include "console/TimeOfDay.h"
#include "console/UdpClient.h"
#include "log/LogFile.h"
#include "settings/SettingsStore.h"
#include "ui/ComboText.h"
#include "ui/MessageBox.h"
#include "ui/VbCheckBox.h"

#include <QComboBox>
#include <QLineEdit>

void frmMain::cmdConnect_Click()
{
    if (ShuttingDown())
        return;  // a refresh's next request, a late timer: nothing goes out once close began
    strCommand = TrimSpaces(txtCommand->text());
    strAddr = TrimSpaces(txtAddr->currentText());
    strPort = TrimSpaces(txtPort->currentText());
    strPassword = TrimSpaces(txtPassword->text());

    const ServerBoxes server = ReadServer();
    if (server.problemBox != ServerBoxes::None) {
        MessageBox::show(this, server.problem);
        (server.problemBox == ServerBoxes::AddressBox ? static_cast<QWidget*>(txtAddr) : txtPort)->setFocus();
        return;
    }
    strAddr = server.host;
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
    udpClient->setRemotePort(server.port);
    udpClient->setLocalPort(udpClient->remotePort());
    SendInTurn(strPassword, strCommand);

    // Only what the user sent from here is offered again by Up in the command box.
    commandRecall.record(strCommand);
    AddToRecallFile(strCommand);  // kept for the next run too, unless it names a password

    strCommand.clear();
    txtCommand->clear();
    txtCommand->setFocus();

    // The address box keeps the host alone, so the next send reads the same server.
    if (TrimSpaces(txtAddr->currentText()) != strAddr)
        SetComboText(txtAddr, strAddr);
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

ServerBoxes frmMain::ReadServer()
{
    // The address box may carry the port, as server lists write it ("host:27961",
    // "[2001:db8::7]:27960"): that port goes into the port box before the port is checked.
    const ServerBoxes server = ReadServerBoxes(strAddr, strPort);
    if (server.portText != strPort) {
        SetComboText(txtPort, server.portText);
        strPort = server.portText;
    }
    return server;
}

void frmMain::SendAsTyped(const QString& command)
{
    const QString typed = txtCommand->text();
    txtCommand->setText(command);
    cmdConnect_Click();
    txtCommand->setText(typed);
}

void frmMain::SendToServer(const QString& host, int port, const QString& password, const QString& command)
{
    if (ShuttingDown())
        return;
    udpClient->setRemoteHost(host);
    udpClient->setRemotePort(port);
    udpClient->setLocalPort(port);

    const ServerBoxes boxes = ReadServerBoxes(TrimSpaces(txtAddr->currentText()), TrimSpaces(txtPort->currentText()));
    const bool elsewhere = boxes.problemBox != ServerBoxes::None || boxes.host.compare(host, Qt::CaseInsensitive) != 0 || boxes.port != port;
    const QString note = elsewhere ? QStringLiteral("   (sent to %1)").arg(ServerAddressText(host, port)) : QString();
    SendInTurn(password, command, note, sender());
}

quint64 frmMain::SendInTurn(const QString& password, const QString& command, const QString& note, QObject* asker)
{
    // The echo shows at once; the log records the command when it goes out, so a command
    // still waiting when the window closes was never sent and is not in the log. Errors
    // counted so far belong before it.
    errorBurst->end();
    const QString time = TimeOfDay();
    txtOutput->setText(txtOutput->text() + time + QStringLiteral(" : ") + command + note + QStringLiteral("\r\n"));
    UdpClient::Turn turn;
    turn.waiting = [this](qint64 ms) {
        txtOutput->setText(txtOutput->text() + QStringLiteral("(waiting %1 s for the server's request limit)\r\n").arg(ms / 1000.0, 0, 'f', 1));
    };
    const bool log = ckLog->value() == 1;
    const QString server = ServerAddressText(udpClient->remoteHost(), udpClient->remotePort());
    turn.sent = [this, log, time, password, command, note, server, asker = QPointer<QObject>(asker)] {
        sentPassword = password;  // the answer that comes now is to this password
        sentServer = server;
        sentBy = asker;
        sentBySend = udpClient->sendCount();
        AwaitAnswer(server);
        if (log)
            AppendCommandRecord(time, command, note);
    };
    return udpClient->sendData(BuildRequest(password, command), turn);
}

void frmMain::mnuCommandsStatus_Click()
{
    Command2_Click();
}

void frmMain::mnuCommandsServerInfo_Click()
{
    Command1_Click();
}

