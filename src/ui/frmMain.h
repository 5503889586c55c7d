#pragma once
#include "console/BoundServer.h"
#include "console/CommandHistory.h"
#include "console/ServerAddress.h"

#include <QMainWindow>
#include <QString>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;
class CommandCompletion;
class ConsoleSession;
class NameRefresh;
class OutputPane;
class PasswordVault;
class ServerPasswords;
class VbCheckBox;
class frmPlayers;
class frmServers;
class frmLookup;
class BanKeeper;
class frmMaps;
class frmBans;
namespace Memory {
struct DatabaseTarget;
}

// The main window: it builds its controls, connects their events to its handlers, and draws.
// The handlers are named after the control and the event; what they do with a server is the
// console session's (console/), the interval's rules are in autoquery/, the settings' and
// the history's in settings/, the log's in log/. Tests find the controls by object name.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // The console session: what the window sends, and what it shows of the answers.
    ConsoleSession* session() const { return m_session; }
    // Name completion in the command box, and the commands kept from earlier runs.
    CommandCompletion* completion() const { return commandCompletion; }
    // The commands sent with Send in this run; Up and Down in the command box walk them.
    CommandHistory& recall() { return commandRecall; }
    // The automatic query's tick count since its last query.
    qint16& ticks() { return TickCounter; }  // tests preset it
    // Puts host and port in the address and port boxes, in place of what they hold.
    void ShowServer(const QString& host, int port);
    // The address, port and password boxes as they stand.
    MainWindowBoxes boxes() const;
    // Sends `command` through Send as if it had been typed; what the user was typing in the
    // command box stays there.
    void SendAsTyped(const QString& command);

public slots:
    // --- the window's own ---
    void Form_Load();
    void Form_QueryUnload();  // before the close begins: where the saved password goes
    void Form_Unload();
    void Form_Resize();
    void cmdShowOptions_Click();
    void cmdQuit_Click();
    void mnuFileExit_Click();

    // --- command dispatch, replies and the output pane ---
    void cmdConnect_Click();
    void Command1_Click();
    void Command2_Click();
    void mnuCommandsStatus_Click();
    void mnuCommandsServerInfo_Click();
    void cmdCopy_Click();
    void cmdClear_Click();
    void txtOutput_Change();
    void mnuViewShowColours_Click();

    // --- automatic status query ---
    void ckQueryStat_Click();
    void cboMinsSecs_Click();
    void cboMinsSecs_Change();
    void txtMinutes_Change();
    void tmrMain_Timer();
    void GetStatus();

    // --- settings and server history ---
    void AddAddrHist(const QString& address);
    void AddPortHist(const QString& port);
    void cmdClearHist_Click();
    // The first datagram of the answer to a request sent with `sentPassword`: a password
    // the server accepted is kept in the keyring now, when Save Password is checked.
    void PasswordAnswered(const QString& sentPassword, const QString& firstDatagram);

    // Where the address and port boxes name a server of the Servers window's list, the
    // password box holds that server's own password from the keyring; the password it held
    // before (typed, or the one the window started with) is set aside, and comes back when
    // the boxes name a server not in the list. A password typed meanwhile is the box's own.
    void ServerBoxes_Change();
    void txtPassword_Edited();

    // --- log, reference lists, web links, About ---
    void mnuFileViewLog_Click();
    // Asks where the memory lives (the local file or a team database), keeps the choice and
    // switches the memory to it.
    void mnuFileTeamDatabase_Click();
    void mnuViewCommands_Click();
    void mnuViewVariables_Click();
    void mnuHelpUpdate_Click();
    void mnuHelpFeedback_Click();
    void mnuHelpBug_Click();
    void mnuHelpQuillhavenHome_Click();
    void mnuHelpAbout_Click();

    // --- the windows beside this one: one each, created on first use ---
    void mnuCommandsPlayers_Click();
    void mnuCommandsServers_Click();
    void mnuCommandsMaps_Click();
    void mnuCommandsBans_Click();
    void mnuCommandsLookup_Click();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createMenus();
    void connectEvents();
    // The outer size the window keeps with the Advanced panel shown or tucked in.
    QSize fixedSizeForPanel() const;
    void EnableTextBox(QLineEdit* box, bool enable);
    // A key pressed in the command box: Up and Down recall, Escape empties the box.
    // True when the key was used.
    bool txtCommand_KeyDown(int key);
    // Sends `command` to the server the boxes name, with the password box's password, once
    // the boxes are checked as Send checks them.
    void Send(const QString& command, const QString& address, const QString& port, const QString& password);
    // The server `address` and `port` name; a port the address carries goes into the port box.
    ServerBoxes ReadServer(const QString& address, const QString& port);
    // A line of the program's own in the pane, on a line of its own (not logged).
    void AppendNote(const QString& line);
    void LoadAddrHist();
    void LoadPortHist();
    void UseSavedPassword(const QString& host, int port, const QString& password);
    void LeaveSavedPassword();
    // The password the box holds for servers not in the list.
    QString OwnPassword() const;

    // --- controls, in tab order; object names are the same ---
    QLineEdit* txtCommand = nullptr;
    QPushButton* cmdConnect = nullptr;
    QLineEdit* txtPassword = nullptr;
    QPushButton* cmdCopy = nullptr;
    QPushButton* cmdClear = nullptr;
    QPushButton* cmdQuit = nullptr;
    OutputPane* txtOutput = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QPushButton* cmdShowOptions = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLineEdit* txtMinutes = nullptr;
    VbCheckBox* ckQueryStat = nullptr;
    VbCheckBox* ckLog = nullptr;
    VbCheckBox* ckSavePwd = nullptr;
    QComboBox* cboMinsSecs = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QComboBox* txtAddr = nullptr;
    QComboBox* txtPort = nullptr;
    QPushButton* cmdClearHist = nullptr;
    QTimer* tmrMain = nullptr;

    QMenu* mnuFile = nullptr;
    QAction* mnuFileViewLog = nullptr;
    QAction* mnuFileTeamDatabase = nullptr;
    QAction* mnuFileExit = nullptr;
    QMenu* mnuCommands = nullptr;
    QAction* mnuCommandsStatus = nullptr;
    QAction* mnuCommandsServerInfo = nullptr;
    QAction* mnuCommandsPlayers = nullptr;
    QAction* mnuCommandsServers = nullptr;
    QAction* mnuCommandsMaps = nullptr;
    QAction* mnuCommandsBans = nullptr;
    QAction* mnuCommandsLookup = nullptr;
    QMenu* mnuView = nullptr;
    QAction* mnuViewCommands = nullptr;
    QAction* mnuViewVariables = nullptr;
    QAction* mnuViewRefreshNames = nullptr;
    QAction* mnuViewShowColours = nullptr;
    QMenu* mnuFileHelp = nullptr;
    QAction* mnuHelpUpdate = nullptr;
    QAction* mnuHelpFeedback = nullptr;
    QAction* mnuHelpBug = nullptr;
    QAction* mnuHelpQuillhavenHome = nullptr;
    QAction* mnuHelpAbout = nullptr;

    // --- the window's fields ---
    qint16 TickCounter = 0;
    bool PanelShown = false;  // the Advanced panel: tucked in, or shown
    ConsoleSession* m_session = nullptr;
    NameRefresh* nameRefresh = nullptr;
    CommandCompletion* commandCompletion = nullptr;
    CommandHistory commandRecall;
    PasswordVault* passwordVault = nullptr;  // the saved password's place in the desktop's keyring
    ServerPasswords* savedPasswords = nullptr;  // the saved servers' own passwords
    QTimer* tmrSavedServer = nullptr;  // a burst of changes to the boxes is looked up once
    QString savedPasswordFor;  // the keyring entry whose password the box shows; "" for none
    QString ownPassword;       // set aside meanwhile, and whether it was typed
    bool ownPasswordTyped = false;
    QString passwordTypedFor;  // the entry of the server the boxes named when it was typed
    frmPlayers* players = nullptr;
    frmServers* servers = nullptr;
    frmMaps* maps = nullptr;
    frmBans* bans = nullptr;
    // --- the Lookup window (lookup/): one, created on first use; the memory it reads is
    // recorded while the window is open, and the bans that ran out are lifted (banKeeper) ---
    frmLookup* lookup = nullptr;
    BanKeeper* banKeeper = nullptr;
    void KeepMemory();    // records this window's exchanges, lifts the bans due
    void ForgetMemory();  // stops what KeepMemory began
    // At start: the memory the run chose (--database, TELMORAX_DATABASE, the setting), a team
    // database with its password from the keyring; the local file when the choice cannot be read.
    void OpenChosenMemory();
    // Records into `target` from now on (the one place the memory is switched).
    void UseDatabase(const Memory::DatabaseTarget& target, const QString& password);
    bool m_recording = false;
    bool m_unloaded = false;
};
