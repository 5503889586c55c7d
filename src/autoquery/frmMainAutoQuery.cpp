// The automatic status query of the main window: the interval control and the timed query.
#include "ui/frmMain.h"

#include "autoquery/Interval.h"
#include "console/ErrorBurst.h"
#include "console/LocaleNumber.h"
#include "console/OutputPane.h"
#include "console/RconDatagram.h"
#include "console/Shutdown.h"
#include "console/TimeOfDay.h"
#include "console/UdpClient.h"
#include "log/LogFile.h"
#include "ui/MessageBox.h"
#include "ui/VbCheckBox.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPalette>
#include <QTimer>

#include <limits>

namespace {
// The desktop's own colour for a role, as the style gives it to this kind of widget
// (never the widget's own palette, which these handlers change).
QColor systemColour(const QWidget* widget, QPalette::ColorRole role)
{
    return QApplication::palette(widget).color(QPalette::Active, role);
}

// Flips the timer between running and stopped. Done twice, a running timer starts its
// countdown afresh and a stopped one stays stopped.
void toggle(QTimer* timer)
{
    if (timer->isActive())
        timer->stop();
    else
        timer->start();
}

// Stops the timer, gives it the tick length, and starts it: the first tick comes one full
// tick length from now.
void restartWithTickLength(QTimer* timer, int ms)
{
    timer->stop();
    timer->setInterval(ms);
    timer->start();
}

const QString AutoStatusText = QStringLiteral(" : [auto] status");
}

void frmMain::ckQueryStat_Click()
{
    const int value = ckQueryStat->value();
    EnableTextBox(txtMinutes, value != 0);

    QPalette p = ckQueryStat->palette();
    p.setColor(QPalette::WindowText, systemColour(ckQueryStat, value == 1 ? QPalette::ButtonText : QPalette::WindowText));
    ckQueryStat->setPalette(p);

    if (value != 0)
        tmrMain->start();
    else
        tmrMain->stop();

    // Checking the box takes the unit shown now, so the tick length always matches it
    // (a unit chosen while the box was unchecked is otherwise only applied when chosen again).
    if (value == 1)
        cboMinsSecs_Change();
}

void frmMain::EnableTextBox(QLineEdit* box, bool enable)
{
    QPalette p = box->palette();
    if (enable) {
        p.setColor(QPalette::Base, systemColour(box, QPalette::Base));
        p.setColor(QPalette::Text, systemColour(box, QPalette::Text));
    } else {
        p.setColor(QPalette::Base, systemColour(box, QPalette::Button));
        p.setColor(QPalette::Text, systemColour(box, QPalette::Dark));
    }
    box->setPalette(p);
    box->setEnabled(enable);
}

void frmMain::cboMinsSecs_Click()
{
    cboMinsSecs_Change();
}

void frmMain::cboMinsSecs_Change()
{
    if (ckQueryStat->value() != 1)
        return;  // unchecked or grayed: the unit waits

    if (UnitFromText(cboMinsSecs->currentText()) == IntervalUnit::Minutes) {
        restartWithTickLength(tmrMain, TickLengthMs(IntervalUnit::Minutes));
        return;
    }

    // Seconds: bring the interval into range first; each write is checked at once.
    const std::optional<double> before = ParseNumber(txtMinutes->text());
    if (before && *before > 59)
        txtMinutes->setText(QStringLiteral("59"));
    const std::optional<double> after = ParseNumber(txtMinutes->text());
    if (after && *after < 0)
        txtMinutes->setText(QStringLiteral("30"));
    restartWithTickLength(tmrMain, TickLengthMs(IntervalUnit::Seconds));
}

void frmMain::txtMinutes_Change()
{
    const IntervalCheck check = CheckInterval(txtMinutes->text(), UnitFromText(cboMinsSecs->currentText()));
    if (check.accepted) {
        // Preset to the interval itself, so the next tick queries.
        TickCounter = check.ticks;
    } else {
        MessageBox::show(this, check.message, QString(), QMessageBox::Ok, QMessageBox::Warning);
        txtMinutes->setText(check.resetText);  // checked again at once, nested
    }
    // The next tick comes one full tick length after the change.
    toggle(tmrMain);
    toggle(tmrMain);
}

void frmMain::tmrMain_Timer()
{
    if (ShuttingDown())
        return;
    if (TickCounter < std::numeric_limits<qint16>::max())
        ++TickCounter;
    // Read afresh: an accepted change counts from this tick on. A text that is not a number
    // (only while a validation message is still open) lets the tick count and nothing more.
    const std::optional<double> interval = ParseNumber(txtMinutes->text());
    if (!interval)
        return;
    if (*interval <= TickCounter) {
        TickCounter = 0;
        GetStatus();
    }
}

void frmMain::GetStatus()
{
    strAddr = TrimSpaces(txtAddr->currentText());
    strPort = TrimSpaces(txtPort->currentText());
    strPassword = TrimSpaces(txtPassword->text());

    // An address that carries its port ("host:27961") is read as Send reads it.
    const ServerBoxes server = ReadServer();
    // A password this server refused is not sent again by the timer: servers count refused
    // passwords from everyone together, and a loop of them can shut other admins out.
    const QString serverText = ServerAddressText(server.host, server.port);
    if (!refusedPassword.isEmpty() && refusedPassword == strPassword && refusedServer == serverText) {
        if (!refusalSaid)
            AppendNote(QStringLiteral("(%1 refused the password: the timed status query waits until the password changes)").arg(serverText));
        refusalSaid = true;
        return;
    }
    udpClient->setRemoteHost(server.host);
    // A port that is not a real port must not send the password to the port of an earlier
    // request: the send then reports an error in the pane instead.
    if (server.port > 0)
        udpClient->setRemotePort(server.port);
    else
        udpClient->clearRemotePort();
    udpClient->setLocalPort(udpClient->remotePort());

    QCoreApplication::processEvents();

    // An automatic query gives way to commands, and one that would wait for the server's
    // request limit longer than its own period is left out: the next one comes soon enough.
    // It shows and is logged when it goes out.
    UdpClient::Turn turn;
    turn.automatic = true;
    turn.skipIfLongerMs = static_cast<qint64>(tmrMain->interval()) * std::max(1.0, ParseNumber(txtMinutes->text()).value_or(1));
    const bool log = ckLog->value() == 1;
    turn.sent = [this, log, password = strPassword, serverText] {
        sentPassword = password;
        sentServer = serverText;
        AwaitAnswer(serverText);
        errorBurst->end();  // errors counted so far belong before this line
        const QString time = TimeOfDay();
        txtOutput->setText(txtOutput->text() + time + AutoStatusText + QStringLiteral("\r\n"));
        if (log)
            AppendLogRecord(time + AutoStatusText);
    };
    udpClient->sendData(BuildRequest(strPassword, QStringLiteral("status")), turn);
}
