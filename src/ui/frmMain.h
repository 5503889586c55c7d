#pragma once
#include "console/CommandHistory.h"
#include "console/ServerAddress.h"

#include <QMainWindow>
#include <QPointer>
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
class ErrorBurst;
class OutputPane;
class PasswordVault;
class ServerPasswords;
class UdpClient;
class VbCheckBox;
class frmPlayers;
class frmServers;
class frmLookup;
class BanKeeper;
class frmMaps;
class frmBans;

// The main window. Its handlers are named after the control and the event; their logic
// lives in the subsystem folders (console, autoquery, settings, log, ui), each of which
// defines the handlers it owns.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

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
    UdpClient* udpClient = nullptr;

    QMenu* mnuFile = nullptr;
    QAction* mnuFileViewLog = nullptr;
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
    QString strCommand;
    QString strAddr;
    QString strPort;
    QString strPassword;
    QString strReply;
    qint16 TickCounter = 0;
    QString PanelState = QStringLiteral("in");  // "in": Advanced panel tucked in, "out": shown

    // The outer size the window keeps in the current panel state.
    QSize fixedSizeForPanel() const;

    // --- window (ui/frmMain.cpp) ---
    void Form_Resize();
    void cmdShowOptions_Click();
    void cmdQuit_Click();
    void mnuFileExit_Click();

    // --- command dispatch, replies and the output pane (console/) ---
    void cmdConnect_Click();
    void Command1_Click();
    void Command2_Click();
    void mnuCommandsStatus_Click();
    void mnuCommandsServerInfo_Click();
    // The server the address and port boxes name, from strAddr and strPort (trimmed from
    // the boxes), checked as Send checks them; a port the address carries goes into the
    // port box and strPort.
    ServerBoxes ReadServer();
    // Sends `command` through Send as if it had been typed; what the user was typing in the
    // command box stays there.
    void SendAsTyped(const QString& command);
    // Sends `command` to host:port with `password` through Send's path (echo line, the
    // answer in the pane, the log record), whatever the boxes hold now: the windows bound to
    // one server (Players, Maps, Bans) send their actions through it. Where the boxes name
    // another server, the echo line says which server the command went to. The boxes, their
    // histories and the command box are left as they are. The answer goes to the window
    // that sent the command as well (actionAnswered).
    void SendToServer(const QString& host, int port, const QString& password, const QString& command);
    // Shows the echo line ("TIME : COMMAND" and `note`) in the pane and sends `command` with
    // `password` to the server the socket is aimed at once its request budget allows; a line
    // says how long it waits, when it must. The log gets the command's record (a password's
    // value masked) when the request goes out. Returns the send's number (UdpClient::sendData).
    // `asker`, when given, is the window whose action this is: the answer goes to it as well.
    quint64 SendInTurn(const QString& password, const QString& command, const QString& note = QString(), QObject* asker = nullptr);
    void udpClient_DataArrival(qint64 bytesTotal);
    void udpClient_Error(int number, const QString& description);
    ErrorBurst* errorBurst = nullptr;  // socket errors, a repeated one counted
    // A line of the program's own in the pane (not logged).
    void AppendNote(const QString& line);
    void txtOutput_Change();
    void cmdCopy_Click();
    void cmdClear_Click();
    void mnuViewShowColours_Click();
    // The reply now arriving: its datagrams make one log record, ended by EndReply() after a
    // quiet time, at the first datagram after a new request, or when the window goes.
    void EndReply();
    QTimer* tmrReplyQuiet = nullptr;
    bool replyOpen = false;
    bool replyLogged = false;
    quint64 replySendCount = 0;
    QString sentPassword;  // the password of the latest request of this window's socket
    // The window whose action went out as send number sentBySend, and the one the reply now
    // arriving answers (none for a command of this window's own).
    QPointer<QObject> sentBy;
    quint64 sentBySend = 0;
    QPointer<QObject> replyAsker;
    QString sentServer;    // and the server it went to ("host:port")
    // A request went out to `server`: when nothing comes back (no datagram, no error) within
    // the wait, the pane says so once, on a line of its own that is not logged.
    void AwaitAnswer(const QString& server);
    QTimer* tmrNoAnswer = nullptr;
    QString awaitedServer;
    // The password the server refused, with the server: the timed query sends it no more,
    // and says so once, until either changes.
    QString refusedPassword;
    QString refusedServer;
    bool refusalSaid = false;

    // --- command recall in the command box (console/) ---
    // The commands sent with Send in this run; Up and Down in txtCommand walk through them.
    CommandHistory commandRecall;
    // A key pressed in the command box: Up and Down recall, Escape empties the box.
    // True when the key was used.
    bool txtCommand_KeyDown(int key);
    // Name completion in txtCommand, and the commands kept from earlier runs (completion/).
    CommandCompletion* commandCompletion = nullptr;

    // --- automatic status query (autoquery/) ---
    void ckQueryStat_Click();
    void EnableTextBox(QLineEdit* box, bool enable);
    void cboMinsSecs_Click();
    void cboMinsSecs_Change();
    void txtMinutes_Change();
    void tmrMain_Timer();
    void GetStatus();

    // --- settings and server history (settings/) ---
    void Form_Load();
    void Form_QueryUnload();  // before the close begins: where the saved password goes
    void Form_Unload();
    void LoadAddrHist();
    void LoadPortHist();
    void AddAddrHist(const QString& address);
    void AddPortHist(const QString& port);
    void cmdClearHist_Click();
    PasswordVault* passwordVault = nullptr;  // the saved password's place in the desktop's keyring
    // The first datagram of the answer to a request sent with `sentPassword`: a password
    // the server accepted is kept in the keyring now, when Save Password is checked.
    void PasswordAnswered(const QString& sentPassword, const QString& firstDatagram);

    // --- log (log/) ---
    QString CheckPath(const QString& path) const;
    // A log that cannot be written, said in the pane on a line of its own.
    void ShowLogProblem(const QString& text);

    // --- reference lists, web links, About (ui/) ---
    void mnuFileViewLog_Click();
    void mnuViewCommands_Click();
    void mnuViewVariables_Click();
    void mnuHelpUpdate_Click();
    void mnuHelpFeedback_Click();
    void mnuHelpBug_Click();
    void mnuHelpQuillhavenHome_Click();
    void mnuHelpAbout_Click();

    // --- the Players window (players/): one, created on first use ---
    frmPlayers* players = nullptr;
    void mnuCommandsPlayers_Click();

    // --- the Servers window (servers/): one, created on first use ---
    frmServers* servers = nullptr;
    void mnuCommandsServers_Click();
    // Where the address and port boxes name a server of the Servers window's list, the
    // password box holds that server's own password from the keyring; the password it held
    // before (typed, or the one the window started with) is set aside, and comes back when
    // the boxes name a server not in the list. A password typed meanwhile is the box's own.
    ServerPasswords* savedPasswords = nullptr;
    QTimer* tmrSavedServer = nullptr;  // a burst of changes to the boxes is looked up once
    void ServerBoxes_Change();
    void txtPassword_Edited();
    void UseSavedPassword(const QString& host, int port, const QString& password);
    void LeaveSavedPassword();
    // The password the box holds for servers not in the list.
    QString OwnPassword() const;
    QString savedPasswordFor;  // the keyring entry whose password the box shows; "" for none
    QString ownPassword;       // set aside meanwhile, and whether it was typed
    bool ownPasswordTyped = false;
    QString passwordTypedFor;  // the entry of the server the boxes named when it was typed
    // --- the Maps and Bans windows (maps/, bans/): one each, created on first use ---
    frmMaps* maps = nullptr;
    frmBans* bans = nullptr;
    void mnuCommandsMaps_Click();
    void mnuCommandsBans_Click();
    // --- the Lookup window (lookup/): one, created on first use; the memory it reads is
    // recorded while the window is open, and the bans that ran out are lifted (banKeeper) ---
    frmLookup* lookup = nullptr;
    BanKeeper* banKeeper = nullptr;
    void mnuCommandsLookup_Click();
    void KeepMemory();    // records this window's exchanges, lifts the bans due
    void ForgetMemory();  // stops what KeepMemory began
    bool m_recording = false;

signals:
    // A datagram of the answer to an action of `window` (SendToServer): its text as the pane
    // shows it, `first` for the first datagram of the answer.
    void actionAnswered(QObject* window, const QString& text, bool first);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createMenus();
    void connectEvents();
    bool m_unloaded = false;
};
