// Replies from the server, socket errors, and the output pane of the main window.
#include "ui/frmMain.h"

#include "console/ErrorBurst.h"
#include "console/OutputPane.h"
#include "console/RconDatagram.h"
#include "console/ServerExchange.h"
#include "console/UdpClient.h"
#include "log/LogFile.h"
#include "ui/VbCheckBox.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QTimer>

namespace {
constexpr int PaneCap = 32000;
// A server sends the datagrams of one long reply back to back; this long without another
// one and the reply is over.
constexpr int ReplyQuietMs = 1000;
// Nothing at all this long after a request: the server did not answer (as the other windows wait).
const int NoAnswerMs = ExchangeRequest().firstDatagramMs;
}

void frmMain::udpClient_DataArrival(qint64 /*bytesTotal*/)
{
    if (tmrNoAnswer)
        tmrNoAnswer->stop();
    errorBurst->end();  // an error that came before this datagram shows before it
    strReply = DecodeReply(udpClient->getData());

    // The server splits long output into several datagrams, each with its own header line;
    // every one is shown as it comes, so a line cut between two reads whole again.
    if (replyOpen && udpClient->sendCount() != replySendCount)
        EndReply();  // a new request was sent: this is the start of its answer
    // The rest of a reply goes on in the colour its last datagram ended in.
    const OutputPane::Write write = replyOpen ? OutputPane::Write::Continues : OutputPane::Write::New;
    if (!replyOpen) {
        replyOpen = true;
        replyLogged = ckLog->value() == 1;  // decided once, by the first datagram
        replySendCount = udpClient->sendCount();
        PasswordAnswered(sentPassword, strReply);
        if (IsPasswordRefusal(strReply)) {
            refusedPassword = sentPassword;
            refusedServer = sentServer;
            refusalSaid = false;
        } else if (sentPassword == refusedPassword && sentServer == refusedServer) {
            refusedPassword.clear();  // taken after all (the server's password changed back)
        }
        replyAsker = replySendCount == sentBySend ? sentBy : nullptr;
    }
    if (replyAsker)
        emit actionAnswered(replyAsker, strReply, write == OutputPane::Write::New);

    txtOutput->setText(txtOutput->text() + strReply, write);
    txtOutput->setSelStart(txtOutput->text().size());

    if (replyLogged)
        BeginOrContinueReplyRecord(strReply);

    if (!tmrReplyQuiet) {
        tmrReplyQuiet = new QTimer(this);
        tmrReplyQuiet->setObjectName(QStringLiteral("tmrReplyQuiet"));
        tmrReplyQuiet->setSingleShot(true);
        tmrReplyQuiet->setInterval(ReplyQuietMs);
        connect(tmrReplyQuiet, &QTimer::timeout, this, &frmMain::EndReply);
        // However the window goes, a reply record still open gets its end.
        connect(tmrReplyQuiet, &QObject::destroyed, [] { EndOpenRecord(); });
    }
    tmrReplyQuiet->start();
}

void frmMain::EndReply()
{
    if (tmrReplyQuiet)
        tmrReplyQuiet->stop();
    replyOpen = false;
    replyLogged = false;
    EndOpenRecord();
}

void frmMain::AwaitAnswer(const QString& server)
{
    if (!tmrNoAnswer) {
        tmrNoAnswer = new QTimer(this);
        tmrNoAnswer->setObjectName(QStringLiteral("tmrNoAnswer"));
        tmrNoAnswer->setSingleShot(true);
        tmrNoAnswer->setInterval(NoAnswerMs);
        connect(tmrNoAnswer, &QTimer::timeout, this, [this] { AppendNote(NoAnswerLine(awaitedServer, NoAnswerMs)); });
    }
    // Requests sent one after another wait together: one line for them, from the last one.
    awaitedServer = server;
    tmrNoAnswer->start();
}

void frmMain::udpClient_Error(int /*number*/, const QString& description)
{
    if (tmrNoAnswer)
        tmrNoAnswer->stop();  // the error says what became of the request
    txtOutput->setText(txtOutput->text() + description + QStringLiteral("\r\n"));
    if (ckLog->value() == 1)
        AppendLogRecord(description + QStringLiteral("\r\n"));
}

void frmMain::AppendNote(const QString& line)
{
    txtOutput->setText(txtOutput->text() + line + QStringLiteral("\r\n"));
}

void frmMain::txtOutput_Change()
{
    if (txtOutput->text().size() < PaneCap)
        return;
    // The old text goes whole; what was just appended stays, and when it alone reaches the
    // cap, its end stays: the latest of what the server sent is never lost from view.
    QString appended = txtOutput->lastAppended();
    if (appended.size() >= PaneCap) {
        appended = appended.right(PaneCap / 2);
        if (appended.front().isLowSurrogate())
            appended.remove(0, 1);
    }
    txtOutput->setText(appended);
}

void frmMain::cmdCopy_Click()
{
    QClipboard* clipboard = QApplication::clipboard();
    if (!clipboard)
        return;
    clipboard->clear();
    clipboard->setText(txtOutput->selText());
}

void frmMain::cmdClear_Click()
{
    txtOutput->setText(QString());
}

void frmMain::mnuViewShowColours_Click()
{
    txtOutput->setShowColours(mnuViewShowColours->isChecked());
}
