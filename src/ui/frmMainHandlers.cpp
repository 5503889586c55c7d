// The main window's handlers: each reads its controls, calls the session or a unit of the
// subsystem folders with what it read, and shows the outcome.
#include "ui/frmMain.h"

#include "autoquery/Interval.h"
#include "bans/BanKeeper.h"
#include "bans/frmBans.h"
#include "completion/CommandCompletion.h"
#include "console/BoundServer.h"
#include "console/ConsoleSession.h"
#include "console/LocaleNumber.h"
#include "console/RconDatagram.h"
#include "console/RecallFile.h"
#include "console/ServerList.h"
#include "console/ServerPasswords.h"
#include "log/LogFile.h"
#include "lookup/frmLookup.h"
#include "maps/frmMaps.h"
#include "memory/DatabaseChoice.h"
#include "memory/MemoryDatabase.h"
#include "memory/Recorder.h"
#include "memory/frmDatabase.h"
#include "players/frmPlayers.h"
#include "servers/frmServers.h"
#include "settings/History.h"
#include "settings/PasswordVault.h"
#include "settings/SettingsStore.h"
#include "settings/Shutdown.h"
#include "ui/WebLinks.h"
#include "ui/frmAbout.h"
#include "widgets/ComboText.h"
#include "widgets/Launcher.h"
#include "widgets/MessageBox.h"
#include "widgets/OpenTextFile.h"
#include "widgets/OutputPane.h"
#include "widgets/VbCheckBox.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPalette>
#include <QTimer>
#include <QUrl>

#include <limits>

namespace {
constexpr int PaneCap = 32000;
const QString ReferenceTitle = QStringLiteral("Vantorin Commands");

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

// A stored check box value goes in through the check box, so that its own handling runs
// when the value changes. A value that is no number, or one the check box does not take
// (anything but 0, 1 and 2), leaves the check box as it is.
void restoreCheckBox(VbCheckBox* box, const QString& key)
{
    if (const std::optional<int> value = CheckBoxFromText(GetProgramSetting(key, Default::CheckBox)))
        box->setValue(*value);
}

// The browser opens the page by itself; whether one was found is not reported.
void OpenWebPage(const QString& address)
{
    Launcher::openUrl(QUrl(address));
}

// A window beside the main one on screen, in front, with the focus.
void ShowWindow(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}
}

// ---- command dispatch ------------------------------------------------------------------

void frmMain::cmdConnect_Click()
{
    if (ShuttingDown())
        return;  // a refresh's next request, a late timer: nothing goes out once close began
    Send(TrimSpaces(txtCommand->text()), TrimSpaces(txtAddr->currentText()), TrimSpaces(txtPort->currentText()),
        TrimSpaces(txtPassword->text()));
}

void frmMain::Send(const QString& command, const QString& address, const QString& port, const QString& password)
{
    const ServerBoxes server = ReadServer(address, port);
    if (server.problemBox != ServerBoxes::None) {
        MessageBox::show(this, server.problem);
        (server.problemBox == ServerBoxes::AddressBox ? static_cast<QWidget*>(txtAddr) : txtPort)->setFocus();
        return;
    }
    if (command.isEmpty()) {
        txtCommand->setFocus();
        return;
    }
    if (password.isEmpty()) {
        MessageBox::show(this, QStringLiteral("You must provide the rcon password."));
        txtPassword->setFocus();
        return;
    }

    m_session->send(server.host, server.port, password, command);

    // Only what the user sent from here is offered again by Up in the command box.
    commandRecall.record(command);
    AddToRecallFile(command);  // kept for the next run too, unless it names a password

    txtCommand->clear();
    txtCommand->setFocus();

    // The address box keeps the host alone, so the next send reads the same server.
    if (TrimSpaces(txtAddr->currentText()) != server.host)
        SetComboText(txtAddr, server.host);
    // Written by a background thread, so that the reply is not kept waiting for the disk.
    SaveProgramSetting(Key::ServerAddr, TrimSpaces(txtAddr->currentText()), When::Soon);
    SaveProgramSetting(Key::ServerPort, TrimSpaces(txtPort->currentText()), When::Soon);

    AddAddrHist(txtAddr->currentText());
    AddPortHist(txtPort->currentText());
}

ServerBoxes frmMain::ReadServer(const QString& address, const QString& port)
{
    // The address box may carry the port, as server lists write it ("host:27961",
    // "[2001:db8::7]:27960"): that port goes into the port box before the port is checked.
    const ServerBoxes server = ReadServerBoxes(address, port);
    if (server.portText != port)
        SetComboText(txtPort, server.portText);
    return server;
}

MainWindowBoxes frmMain::boxes() const
{
    return MainWindowBoxes{txtAddr->currentText(), txtPort->currentText(), txtPassword->text()};
}

void frmMain::ShowServer(const QString& host, int port)
{
    txtAddr->setEditText(host);
    txtPort->setEditText(QString::number(port));
}

void frmMain::SendAsTyped(const QString& command)
{
    const QString typed = txtCommand->text();
    txtCommand->setText(command);
    cmdConnect_Click();
    txtCommand->setText(typed);
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

// ---- the output pane -------------------------------------------------------------------

void frmMain::AppendNote(const QString& line)
{
    if (m_session)
        m_session->note(line);  // an answer that goes on after it goes on under its command
    else
        txtOutput->appendLine(line);
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

// ---- the automatic status query ------------------------------------------------------

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
    // An address that carries its port ("host:27961") is read as Send reads it. A port that
    // is not a real port sends nothing: the pane then says why.
    const ServerBoxes server = ReadServer(TrimSpaces(txtAddr->currentText()), TrimSpaces(txtPort->currentText()));
    // An automatic query gives way to commands, and one that would wait for the server's
    // request limit longer than its own period is left out: the next one comes soon enough.
    const qint64 period = static_cast<qint64>(tmrMain->interval()) * std::max(1.0, ParseNumber(txtMinutes->text()).value_or(1));
    m_session->queryStatus(server.host, server.port, TrimSpaces(txtPassword->text()), period);
}

// ---- settings and the server history ---------------------------------------------------

void frmMain::Form_Load()
{
    // A store that cannot be read gives every key its default, so the window opens with the
    // design values; nothing here stops the window from opening.
    LoadAddrHist();
    LoadPortHist();
    SetComboText(txtAddr, GetProgramSetting(Key::ServerAddr, Default::ServerAddr));
    SetComboText(txtPort, GetProgramSetting(Key::ServerPort, Default::ServerPort));
    restoreCheckBox(ckQueryStat, Key::EnableAutoQuery);
    restoreCheckBox(ckLog, Key::EnableLogging);
    m_session->setLogging(ckLog->value() == 1);
    txtMinutes->setText(GetProgramSetting(Key::AutoQueryMinutes, Default::AutoQueryMinutes));
    restoreCheckBox(ckSavePwd, Key::SavePassword);
    txtPassword->setText(GetProgramSetting(Key::Password, Default::Password));
    // A password kept in the keyring fills the box when the keyring answers, unless one has
    // been typed by then; the window does not wait for it.
    if (!passwordVault) {
        passwordVault = new PasswordVault(this);
        connect(passwordVault, &PasswordVault::found, this, [this](const QString& password) {
            if (!savedPasswordFor.isEmpty()) {
                if (!ownPasswordTyped)
                    ownPassword = password;  // the box shows a saved server's password meanwhile
            } else if (!txtPassword->isModified()) {
                txtPassword->setText(password);
            }
        });
    }
    if (ckSavePwd->value() == 1)
        passwordVault->restore(txtPassword->text());
    SetComboText(cboMinsSecs, GetProgramSetting(Key::TimeInterval, Default::TimeInterval));
    // Only a stored "0" turns colours off; anything else keeps the default.
    mnuViewShowColours->setChecked(CheckBoxFromText(GetProgramSetting(Key::ShowColours, Default::ShowColours)) != 0);
    // The first automatic query comes a full interval after the start, whatever the restored
    // interval preset.
    TickCounter = 0;
}

void frmMain::Form_QueryUnload()
{
    // Said once, before the close begins (after it, no box opens), and only when the file is
    // about to take a password it does not hold already.
    if (passwordVault && passwordVault->goesToFile(ckSavePwd->value() == 1, OwnPassword())) {
        MessageBox::show(this,
            QStringLiteral("No keyring service was found, so the saved rcon password goes into the settings file, "
                           "readable by you alone.  Uncheck Save Password to keep it out of that file."),
            QStringLiteral("Save Password"), QMessageBox::Ok, QMessageBox::Information);
    }
}

void frmMain::Form_Unload()
{
    // Each value is saved on its own: one that cannot be saved is lost alone.
    tmrMain->stop();  // no automatic query while the close waits on the keyring
    m_session->endReply();  // a reply still arriving gets its record end in the log
    // The program's other windows (Players, Maps, Bans) go first: their refreshes stop, and
    // Players saves its place and columns.
    for (QWidget* window : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (window->isWindow())
            window->hide();
    }
    SaveProgramSetting(Key::ServerAddr, TrimSpaces(txtAddr->currentText()));
    // The port box goes under its own key: the port restored at start is the last one sent.
    SaveProgramSetting(Key::ServerAddrPort, TrimSpaces(txtPort->currentText()));
    SaveProgramSetting(Key::Path, QCoreApplication::applicationFilePath());
    SaveProgramSetting(Key::AutoQueryMinutes, txtMinutes->text());
    SaveProgramSetting(Key::EnableAutoQuery, CheckBoxText(ckQueryStat->value()));
    SaveProgramSetting(Key::EnableLogging, CheckBoxText(ckLog->value()));
    SaveProgramSetting(Key::SavePassword, CheckBoxText(ckSavePwd->value()));
    SaveProgramSetting(Key::TimeInterval, cboMinsSecs->currentText());
    // A password saved in an earlier run is wiped unless saving it is still wanted. The
    // keyring has the password already when the server accepted it; a write still due is
    // waited for with the window out of sight, and a keyring that is slow or asks the user
    // never sends the password into the file.
    const std::optional<QString> kept = passwordVault->store(ckSavePwd->value() == 1, OwnPassword(), [this] { hide(); });
    if (kept)
        SaveProgramSetting(Key::Password, *kept);
    SaveProgramSetting(Key::ShowColours, mnuViewShowColours->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

void frmMain::LoadAddrHist()
{
    txtAddr->addItems(LoadHistory(AddressHistory()));
}

void frmMain::LoadPortHist()
{
    txtPort->addItems(LoadHistory(PortHistory()));
}

void frmMain::AddAddrHist(const QString& address)
{
    if (IsInHistory(AddressHistory(), address))
        return;
    txtAddr->addItem(address);
    StoreInHistory(AddressHistory(), address, When::Soon);  // Send does not wait for the disk
}

void frmMain::AddPortHist(const QString& port)
{
    if (IsInHistory(PortHistory(), port))
        return;
    txtPort->addItem(port);
    StoreInHistory(PortHistory(), port, When::Soon);
}

void frmMain::cmdClearHist_Click()
{
    const QMessageBox::StandardButton answer = MessageBox::show(this,
        QStringLiteral("This will clear all queried servers from history.  Continue?"), QStringLiteral("Clear Query History"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Question, QMessageBox::Yes);
    if (answer != QMessageBox::Yes)
        return;

    // Every clearing write is tried, even after one has been refused, so that as little as
    // possible is left behind.
    bool cleared = ClearHistory(AddressHistory());
    cleared = ClearHistory(PortHistory()) && cleared;
    cleared = SaveProgramSetting(Key::ServerAddr, QString()) && cleared;
    cleared = SaveProgramSetting(Key::Port, QString()) && cleared;

    txtAddr->clear();
    txtAddr->clearEditText();
    txtPort->clear();
    txtPort->clearEditText();

    // The user asked for the history to be gone: when the settings file refused to let go
    // of it, say so rather than let it come back unannounced at the next start.
    if (!cleared)
        MessageBox::show(this, QStringLiteral("The server history could not be cleared in the settings file."), QString(),
            QMessageBox::Ok, QMessageBox::Warning);
}

void frmMain::PasswordAnswered(const QString& sentPassword, const QString& firstDatagram)
{
    // Only the password of the boxes is saved, and only one the server did not refuse; a saved
    // server's own password stays in that server's entry alone.
    if (ckSavePwd->value() != 1 || sentPassword != TrimSpaces(txtPassword->text())
        || IsPasswordRefusal(firstDatagram) || !savedPasswordFor.isEmpty())
        return;
    passwordVault->remember(txtPassword->text());
}

// ---- log, reference lists, web links, About --------------------------------------------

void frmMain::mnuFileViewLog_Click()
{
    // The log where this user's records go: the program's folder, or the user's own copy
    // when the program's folder is not writable.
    OpenTextFile(this, LogFilePath(), QMessageBox::Information,
        QStringLiteral("A log file has not been created.  Be sure to enable logging by checking the option in the ADVANCED panel."),
        QStringLiteral("Vantorin Log File"));
}

void frmMain::mnuViewCommands_Click()
{
    OpenTextFile(this, ProgramFile(QStringLiteral("commands.txt")), QMessageBox::Warning,
        QStringLiteral("Commands.txt appears to be missing!  Try repairing the application using the original setup files."),
        ReferenceTitle);
}

void frmMain::mnuViewVariables_Click()
{
    OpenTextFile(this, ProgramFile(QStringLiteral("variables.txt")), QMessageBox::Warning,
        QStringLiteral("Variables.txt appears to be missing!  Try repairing the application using the original setup files."),
        ReferenceTitle);
}

void frmMain::mnuHelpUpdate_Click()
{
    OpenWebPage(WebLinks::UpdateAddress());
}

void frmMain::mnuHelpFeedback_Click()
{
    OpenWebPage(WebLinks::FeedbackAddress());
}

void frmMain::mnuHelpBug_Click()
{
    OpenWebPage(WebLinks::BugReportAddress());
}

void frmMain::mnuHelpQuillhavenHome_Click()
{
    OpenWebPage(WebLinks::HomeAddress());
}

void frmMain::mnuHelpAbout_Click()
{
    // A fresh box each time, so its load handler runs at every showing; the main window
    // waits until it closes.
    frmAbout about;
    about.exec();
}

// ---- the windows beside this one -------------------------------------------------------

namespace {
// A window bound to one server sends its actions through the session (the main window's Send
// path); the answers, and the end of each, come back to it.
template <typename Window, typename Chosen>
void LinkActions(ConsoleSession* session, Window* window, Chosen chosen)
{
    QObject::connect(window, chosen, session, &ConsoleSession::sendTo);
    QObject::connect(session, &ConsoleSession::actionAnswered, window->lblAnswer, &AnswerLine::answered);
    QObject::connect(session, &ConsoleSession::actionOver, window, &Window::ActionOver);
}
}

void frmMain::mnuCommandsPlayers_Click()
{
    if (!players) {
        players = new frmPlayers([this] { return boxes(); }, this);
        LinkActions(m_session, players, &frmPlayers::commandChosen);
        connect(players, &frmPlayers::commandChosen, this, [this](const QString& host, int port, const QString&, const QString& command) {
            if (bans)
                bans->CommandSent(host, port, command);
        });
    }
    ShowWindow(players);
}

void frmMain::mnuCommandsServers_Click()
{
    if (!servers) {
        frmServers::MainWindowLink link;
        link.readBoxes = [this](QString* address, QString* port, QString* password) {
            const MainWindowBoxes shown = boxes();
            *address = shown.address;
            *port = shown.port;
            *password = shown.password;
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
    ShowWindow(servers);
}

void frmMain::mnuCommandsMaps_Click()
{
    if (!maps) {
        maps = new frmMaps([this] { return boxes(); }, this);
        LinkActions(m_session, maps, &frmMaps::commandForServer);
    }
    ShowWindow(maps);
}

void frmMain::mnuCommandsBans_Click()
{
    if (!bans) {
        bans = new frmBans([this] { return boxes(); }, this);
        LinkActions(m_session, bans, &frmBans::commandForServer);
    }
    ShowWindow(bans);
}

// ---- the saved servers' passwords in the password box ------------------------------------

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

// ---- the program's memory: recording while the window is open, the bans lifted when they
// run out, and the Lookup window ----------------------------------------------------------

void frmMain::KeepMemory()
{
    // Several windows in one process (tests) share one recording: the first one keeps it.
    if (!Recorder::IsRecording()) {
        Recorder::Start([this](const QString& line) { AppendNote(line); });
        m_recording = Recorder::IsRecording();
    }
    if (!m_recording)
        return;
    banKeeper = new BanKeeper(this);
    // A server that has no password saved is lifted with the boxes' password when they name it.
    banKeeper->setPasswordSource([this](const QString& host, int port) {
        QString problem;
        const BoundServer named = ReadBoundServer(boxes(), &problem);
        return named.isSet() && named.sameServer(BoundServer{host, port, QString()}) ? named.password : QString();
    });
    connect(banKeeper, &BanKeeper::told, this, &frmMain::AppendNote);
    connect(Recorder::Signals(), &RecorderSignals::teamNote, banKeeper, [this](const QString& line) { AppendNote(line); });
    banKeeper->keep();
}

void frmMain::ForgetMemory()
{
    if (!m_recording)
        return;
    delete banKeeper;
    banKeeper = nullptr;
    Recorder::Stop();
    m_recording = false;
}

void frmMain::OpenChosenMemory()
{
    QString problem;
    const std::optional<Memory::DatabaseTarget> target = Memory::ChosenDatabase(&problem);
    if (!target)
        AppendNote(problem + QStringLiteral(" The memory is kept in the local file."));
    if (!target || !target->team) {
        KeepMemory();
        return;
    }
    Memory::ReadDatabasePassword(*target, this, [this, t = *target](const QString& password) { UseDatabase(t, password); });
}

void frmMain::UseDatabase(const Memory::DatabaseTarget& target, const QString& password)
{
    ForgetMemory();
    // Several windows in one process (tests): the one that keeps the recording switches it.
    if (!Recorder::IsRecording()) {
        Memory::Forget();
        Memory::Open(target, password, Memory::KeepDays());  // its notice is told as the recording starts
    }
    KeepMemory();
}

void frmMain::mnuFileTeamDatabase_Click()
{
    QString ignored;
    frmDatabase dialog(Memory::ReadDatabaseUrl(GetProgramSetting(Key::TeamDatabase), &ignored).value_or(Memory::DatabaseTarget()), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const Memory::DatabaseTarget target = dialog.target();
    const QString password = dialog.password();
    Memory::SaveDatabaseChoice(target, password, this, [this](bool kept) {
        if (!kept)
            AppendNote(QStringLiteral("The keyring did not take the team database's password: it is used until the program ends."));
    });
    if (target.team && password.isEmpty())
        Memory::ReadDatabasePassword(target, this, [this, target](const QString& found) { UseDatabase(target, found); });
    else
        UseDatabase(target, password);
}

void frmMain::mnuCommandsLookup_Click()
{
    if (!lookup)
        lookup = new frmLookup([this] { return boxes(); }, this);
    ShowWindow(lookup);
}
