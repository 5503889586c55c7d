// Replies from the server, socket errors, and the output pane of the main window.
#include "ui/frmMain.h"

#include "console/OutputPane.h"
#include "console/RconDatagram.h"
#include "console/UdpClient.h"
#include "log/LogFile.h"
#include "ui/VbCheckBox.h"

#include <QApplication>
#include <QClipboard>

namespace {
constexpr int PaneCap = 32000;
}

void frmMain::udpClient_DataArrival(qint64 /*bytesTotal*/)
{
    strReply = DecodeReply(udpClient->getData());
    txtOutput->setText(txtOutput->text() + strReply);
    txtOutput->setSelStart(txtOutput->text().size());
    if (ckLog->value() == 1)
        AppendLogRecord(strReply);
}

void frmMain::udpClient_Error(int /*number*/, const QString& description)
{
    txtOutput->setText(txtOutput->text() + description + QStringLiteral("\r\n"));
    if (ckLog->value() == 1)
        AppendLogRecord(description + QStringLiteral("\r\n"));
}

void frmMain::txtOutput_Change()
{
    if (txtOutput->text().size() >= PaneCap)
        txtOutput->setText(QString());
}

void frmMain::cmdCopy_Click()
{
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->clear();
    clipboard->setText(txtOutput->selText());
}

void frmMain::cmdClear_Click()
{
    txtOutput->setText(QString());
}
