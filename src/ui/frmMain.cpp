#include "ui/frmMain.h"

#include "completion/CommandCompletion.h"
#include "completion/NameRefresh.h"
#include "console/ColourCodes.h"
#include "console/ConsoleSession.h"
#include "widgets/OutputPane.h"
#include "settings/Shutdown.h"
#include "log/LogFile.h"
#include "memory/Recorder.h"
#include "console/ServerPasswords.h"
#include "settings/ProgramInfo.h"
#include "settings/SettingsStore.h"
#include "settings/UserDataFolder.h"
#include "widgets/Fonts.h"
#include "widgets/VbCheckBox.h"
#include "widgets/Twips.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCompleter>
#include <QKeyEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QTimer>

namespace {
constexpr int ClientWidth = 8520;
// The client area shows down to the Advanced panel's top edge when it is tucked in, and
// the whole panel with 120 twips below it when it is out.
constexpr int ClientHeightIn = 7200;
constexpr int ClientHeightOut = 7200 + 735 + 120;

// The password box shows every character as "*".
class AsteriskPasswordStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget, QStyleHintReturn* returnData) const override
    {
        if (hint == QStyle::SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QPushButton* button(QWidget* parent, const char* name, const QString& caption, const QRect& r)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(r);
    b->setFont(Fonts::msSansSerif(8.25, true));
    b->setAutoDefault(false);
    return b;
}

QLabel* label(QWidget* parent, const char* name, const QString& caption, const QRect& r, Qt::Alignment align, bool ownFont = true)
{
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setTextFormat(Qt::PlainText);  // no label of the program renders markup
    l->setText(caption);
    l->setGeometry(r);
    l->setAlignment(align | Qt::AlignTop);
    if (ownFont)
        l->setFont(Fonts::msSansSerif(8.25));
    return l;
}

QComboBox* comboBox(QWidget* parent, const char* name, const QRect& r)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(QLatin1String(name));
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);  // Enter sends; it does not add to the list
    // Completion from the list may finish a word, never change the case of what was typed:
    // "quake.example" and "Quake.Example" are different entries.
    c->completer()->setCaseSensitivity(Qt::CaseSensitive);
    c->setGeometry(r);
    c->lineEdit()->setObjectName(QLatin1String(name) + QStringLiteral("_edit"));
    return c;
}

QAction* menuItem(QMenu* menu, const char* name, const QString& caption)
{
    auto* a = menu->addAction(caption);
    a->setObjectName(QLatin1String(name));
    return a;
}

void separator(QMenu* menu, const char* name)
{
    menu->addSeparator()->setObjectName(QLatin1String(name));
}
}

frmMain::frmMain(QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
              | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmMain"));
    EndShutdown();
    const QString title = QStringLiteral("Quillhaven's Vantorin v1.30");
    setWindowTitle(title);
    connect(Recorder::Signals(), &RecorderSignals::teamStateChanged, this, [this, title] { setWindowTitle(Recorder::TitleWithTeamState(title)); });
    setFont(Fonts::arial(8.25));
    createMenus();
    createControls();
    connectEvents();
    setFixedSize(fixedSizeForPanel());
    Form_Load();
    commandCompletion = new CommandCompletion(txtCommand, &commandRecall, [this] { return boxes(); }, nameRefresh, this);
    // A log that cannot be written is said in the pane, on a line of its own.
    SetLogProblemReporter([this](const QString& text) { AppendNote(text); });
    OpenChosenMemory();
}

frmMain::~frmMain()
{
    SetLogProblemReporter({});  // the pane goes with the window
    ForgetMemory();
    // What Send saved, and the commands it sent, are in their files before the window goes.
    FlushSettings();
}

void frmMain::createControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    txtCommand = new QLineEdit(QStringLiteral("status"), client);
    txtCommand->setObjectName(QStringLiteral("txtCommand"));
    txtCommand->setGeometry(twRect(120, 6240, 7335, 350));
    txtCommand->setFont(Fonts::msSansSerif(8.25));

    cmdConnect = button(client, "cmdConnect", QStringLiteral("Send"), twRect(7560, 6240, 855, 375));
    cmdConnect->setDefault(true);

    txtPassword = new QLineEdit(client);
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    txtPassword->setGeometry(twRect(6960, 96, 1455, 285));
    txtPassword->setFont(Fonts::msSansSerif(8.25));
    auto* asterisks = new AsteriskPasswordStyle;
    asterisks->setParent(txtPassword);
    txtPassword->setStyle(asterisks);
    txtPassword->setEchoMode(QLineEdit::Password);

    cmdCopy = button(client, "cmdCopy", QStringLiteral("Copy"), twRect(120, 6720, 855, 375));
    cmdClear = button(client, "cmdClear", QStringLiteral("Clear"), twRect(1080, 6720, 855, 375));
    cmdQuit = button(client, "cmdQuit", QStringLiteral("Quit"), twRect(7560, 6720, 855, 375));

    txtOutput = new OutputPane(client);
    txtOutput->setObjectName(QStringLiteral("txtOutput"));
    txtOutput->setGeometry(twRect(120, 480, 8295, 5415));
    txtOutput->setFont(Fonts::courierNew(8.25));
    QPalette pane = txtOutput->palette();
    pane.setColor(QPalette::Base, ColourCodes::PaneBackground());
    pane.setColor(QPalette::Text, ColourCodes::PaneText());
    txtOutput->setPalette(pane);

    Label1 = label(client, "Label1", QStringLiteral("Server Address"), twRect(-120, 120, 1335, 255), Qt::AlignRight);
    Label2 = label(client, "Label2", QStringLiteral("Server Port"), twRect(3480, 120, 855, 255), Qt::AlignRight);
    Label3 = label(client, "Label3", QStringLiteral("rcon Password"), twRect(5640, 120, 1215, 255), Qt::AlignRight);
    Label4 = label(client, "Label4", QStringLiteral("Command"), twRect(120, 6000, 1695, 255), Qt::AlignLeft);
    Label5 = label(client, "Label5", ProgramInfo::Copyright,
        twRect(1853, 5880, 4815, 255), Qt::AlignHCenter, false);
    QPalette notice = Label5->palette();
    notice.setColor(QPalette::WindowText, notice.color(QPalette::Dark));  // button shadow
    Label5->setPalette(notice);

    cmdShowOptions = button(client, "cmdShowOptions", QStringLiteral("Advanced >>"), twRect(2040, 6720, 1455, 375));

    Frame1 = new QGroupBox(client);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twRect(120, 7200, 8295, 735));

    txtMinutes = new QLineEdit(QStringLiteral("5"), Frame1);
    txtMinutes->setObjectName(QStringLiteral("txtMinutes"));
    txtMinutes->setGeometry(twRect(1850, 280, 565, 315));
    ckQueryStat = new VbCheckBox(QStringLiteral("Query status every"), Frame1);
    ckQueryStat->setObjectName(QStringLiteral("ckQueryStat"));
    ckQueryStat->setGeometry(twRect(120, 240, 2175, 375));
    ckLog = new VbCheckBox(QStringLiteral("Save Log"), Frame1);
    ckLog->setObjectName(QStringLiteral("ckLog"));
    ckLog->setGeometry(twRect(3720, 240, 1215, 375));
    ckSavePwd = new VbCheckBox(QStringLiteral("Save Password"), Frame1);
    ckSavePwd->setObjectName(QStringLiteral("ckSavePwd"));
    ckSavePwd->setGeometry(twRect(5040, 240, 1575, 375));
    cboMinsSecs = comboBox(Frame1, "cboMinsSecs", twRect(2400, 275, 1095, 330));
    cboMinsSecs->addItems({QStringLiteral("Minutes"), QStringLiteral("Seconds")});
    cboMinsSecs->setEditText(QStringLiteral("Minutes"));
    // The unit is read from every text typed: no completion turning "M" into "Minutes".
    cboMinsSecs->setCompleter(nullptr);
    cmdClearHist = button(Frame1, "cmdClearHist", QStringLiteral("Clear History"), twRect(6720, 240, 1455, 375));
    txtMinutes->raise();  // drawn over the right end of the check box's area

    Command1 = button(client, "Command1", QStringLiteral("Server Info"), twRect(4320, 6720, 1455, 375));
    Command2 = button(client, "Command2", QStringLiteral("Status"), twRect(5880, 6720, 855, 375));
    txtAddr = comboBox(client, "txtAddr", twRect(1320, 60, 2055, 330));
    txtPort = comboBox(client, "txtPort", twRect(4440, 60, 1095, 330));

    // Names a screen reader says for the boxes; buttons and check boxes say their captions.
    txtAddr->setAccessibleName(QStringLiteral("Server Address"));
    txtPort->setAccessibleName(QStringLiteral("Server Port"));
    txtPassword->setAccessibleName(QStringLiteral("rcon Password"));
    txtCommand->setAccessibleName(QStringLiteral("Command"));
    txtOutput->setAccessibleName(QStringLiteral("Output"));
    txtMinutes->setAccessibleName(QStringLiteral("Query interval"));
    cboMinsSecs->setAccessibleName(QStringLiteral("Interval unit"));
    Frame1->setAccessibleName(QStringLiteral("Advanced"));
    for (QComboBox* c : {txtAddr, txtPort, cboMinsSecs})
        c->lineEdit()->setAccessibleName(c->accessibleName());
    // The labels name their boxes too (a screen reader here names a combo box by its label).
    Label1->setBuddy(txtAddr);
    Label2->setBuddy(txtPort);
    Label3->setBuddy(txtPassword);
    Label4->setBuddy(txtCommand);

    // The interval box starts disabled, with the disabled look.
    EnableTextBox(txtMinutes, false);

    const QList<QWidget*> order = {txtCommand, cmdConnect, txtPassword, cmdCopy, cmdClear, cmdQuit, txtOutput,
        cmdShowOptions, txtMinutes, ckQueryStat, ckLog, ckSavePwd, cboMinsSecs, Command1, Command2, txtAddr, txtPort,
        cmdClearHist};
    for (int i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);

    tmrMain = new QTimer(this);
    tmrMain->setObjectName(QStringLiteral("tmrMain"));
    tmrMain->setInterval(60000);

    m_session = new ConsoleSession(this);
    m_session->setObjectName(QStringLiteral("session"));
    m_session->setShownServer([this] { return boxes(); });
    nameRefresh = new NameRefresh(m_session, [this] { return boxes(); }, [this](const QString& command) { SendAsTyped(command); }, this);
}

void frmMain::createMenus()
{
    QMenuBar* bar = menuBar();
    mnuFile = bar->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuFileViewLog = menuItem(mnuFile, "mnuFileViewLog", QStringLiteral("&View Log"));
    mnuFileTeamDatabase = menuItem(mnuFile, "mnuFileTeamDatabase", QStringLiteral("&Team Database..."));
    separator(mnuFile, "sp4");
    mnuFileExit = menuItem(mnuFile, "mnuFileExit", QStringLiteral("E&xit"));

    mnuCommands = bar->addMenu(QStringLiteral("&Commands"));
    mnuCommands->setObjectName(QStringLiteral("mnuCommands"));
    mnuCommandsStatus = menuItem(mnuCommands, "mnuCommandsStatus", QStringLiteral("Get Server &Status"));
    mnuCommandsServerInfo = menuItem(mnuCommands, "mnuCommandsServerInfo", QStringLiteral("Get Server &Info"));
    mnuCommandsPlayers = menuItem(mnuCommands, "mnuCommandsPlayers", QStringLiteral("&Players..."));
    mnuCommandsServers = menuItem(mnuCommands, "mnuCommandsServers", QStringLiteral("Ser&vers..."));
    mnuCommandsMaps = menuItem(mnuCommands, "mnuCommandsMaps", QStringLiteral("&Maps..."));
    mnuCommandsBans = menuItem(mnuCommands, "mnuCommandsBans", QStringLiteral("&Bans..."));
    mnuCommandsLookup = menuItem(mnuCommands, "mnuCommandsLookup", QStringLiteral("&Lookup..."));

    mnuView = bar->addMenu(QStringLiteral("&View"));
    mnuView->setObjectName(QStringLiteral("mnuView"));
    mnuViewCommands = menuItem(mnuView, "mnuViewCommands", QStringLiteral("&Command List..."));
    mnuViewVariables = menuItem(mnuView, "mnuViewVariables", QStringLiteral("&Variable List..."));
    separator(mnuView, "sp5");
    mnuViewRefreshNames = menuItem(mnuView, "mnuViewRefreshNames", QStringLiteral("&Refresh Names From Server"));
    separator(mnuView, "sp6");
    mnuViewShowColours = menuItem(mnuView, "mnuViewShowColours", QStringLiteral("&Show Colours"));
    mnuViewShowColours->setCheckable(true);
    mnuViewShowColours->setChecked(true);

    mnuFileHelp = bar->addMenu(QStringLiteral("&Help"));
    mnuFileHelp->setObjectName(QStringLiteral("mnuFileHelp"));
    mnuHelpUpdate = menuItem(mnuFileHelp, "mnuHelpUpdate", QStringLiteral("Check For &Updates..."));
    mnuHelpFeedback = menuItem(mnuFileHelp, "mnuHelpFeedback", QStringLiteral("Submit &Feedback..."));
    mnuHelpBug = menuItem(mnuFileHelp, "mnuHelpBug", QStringLiteral("Submit A &Bug Report..."));
    separator(mnuFileHelp, "sp2");
    mnuHelpQuillhavenHome = menuItem(mnuFileHelp, "mnuHelpQuillhavenHome", QStringLiteral("Visit Quillhaven..."));
    separator(mnuFileHelp, "sp1");
    mnuHelpAbout = menuItem(mnuFileHelp, "mnuHelpAbout", QStringLiteral("&About..."));
}

void frmMain::connectEvents()
{
    // Enter in any single-line box or combo box of the window presses Send. The key is taken
    // before the box sees it: an editable combo box would otherwise first swap the typed text
    // for a list entry that differs only in case. A combo box holds the keyboard focus itself
    // and hands keys to its line edit directly, past that line edit's filters: the combo box
    // is watched too.
    for (QWidget* box : std::initializer_list<QWidget*>{txtCommand, txtPassword, txtMinutes, txtAddr, txtAddr->lineEdit(),
             txtPort, txtPort->lineEdit(), cboMinsSecs, cboMinsSecs->lineEdit()})
        box->installEventFilter(this);

    connect(cmdConnect, &QPushButton::clicked, this, &frmMain::cmdConnect_Click);
    connect(Command1, &QPushButton::clicked, this, &frmMain::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmMain::Command2_Click);
    connect(cmdCopy, &QPushButton::clicked, this, &frmMain::cmdCopy_Click);
    connect(cmdClear, &QPushButton::clicked, this, &frmMain::cmdClear_Click);
    connect(cmdQuit, &QPushButton::clicked, this, &frmMain::cmdQuit_Click);
    connect(cmdShowOptions, &QPushButton::clicked, this, &frmMain::cmdShowOptions_Click);
    connect(cmdClearHist, &QPushButton::clicked, this, &frmMain::cmdClearHist_Click);

    // Up, Down and Escape in the command box (the filter above); typing ends a recall in progress.
    connect(txtCommand, &QLineEdit::textEdited, this, [this] { commandRecall.stopRecall(); });

    // A saved server named in the boxes brings its own password.
    savedPasswords = new ServerPasswords(this);
    tmrSavedServer = new QTimer(this);
    tmrSavedServer->setSingleShot(true);
    tmrSavedServer->setInterval(0);
    connect(tmrSavedServer, &QTimer::timeout, this, &frmMain::ServerBoxes_Change);
    for (QComboBox* box : {txtAddr, txtPort})
        connect(box, &QComboBox::editTextChanged, tmrSavedServer, qOverload<>(&QTimer::start));
    connect(txtPassword, &QLineEdit::textEdited, this, &frmMain::txtPassword_Edited);
    connect(txtPassword, &QLineEdit::textChanged, m_session, &ConsoleSession::forgetRefusal);

    connect(txtOutput, &OutputPane::changed, this, &frmMain::txtOutput_Change);
    connect(ckQueryStat, &QCheckBox::stateChanged, this, &frmMain::ckQueryStat_Click);
    connect(txtMinutes, &QLineEdit::textChanged, this, &frmMain::txtMinutes_Change);
    connect(cboMinsSecs, &QComboBox::editTextChanged, this, &frmMain::cboMinsSecs_Change);
    connect(cboMinsSecs, &QComboBox::activated, this, &frmMain::cboMinsSecs_Click);
    connect(tmrMain, &QTimer::timeout, this, &frmMain::tmrMain_Timer);
    connect(ckLog, &QCheckBox::stateChanged, m_session, [this] { m_session->setLogging(ckLog->value() == 1); });
    connect(m_session, &ConsoleSession::line, txtOutput, [this](const QString& text) {
        // On a line of its own, even after an answer cut in the middle of a line.
        txtOutput->appendLine(text.endsWith(QLatin1String("\r\n")) ? text.chopped(2) : text);
    });
    connect(m_session, &ConsoleSession::replyText, this, [this](const QString& text, bool continues) {
        txtOutput->append(text, continues ? OutputPane::Write::Continues : OutputPane::Write::New);
        txtOutput->setSelStart(txtOutput->text().size());
    });
    connect(m_session, &ConsoleSession::passwordAnswered, this, &frmMain::PasswordAnswered);
    connect(nameRefresh, &NameRefresh::note, this, [this](const QString& text) { AppendNote(text.chopped(2)); });
    connect(nameRefresh, &NameRefresh::runningChanged, mnuViewRefreshNames, [this](bool running) { mnuViewRefreshNames->setEnabled(!running); });
    connect(mnuViewRefreshNames, &QAction::triggered, nameRefresh, &NameRefresh::start);
    connect(UserDataFolderNotice::instance(), &UserDataFolderNotice::unusable, this, &frmMain::AppendNote);

    connect(mnuFileViewLog, &QAction::triggered, this, &frmMain::mnuFileViewLog_Click);
    connect(mnuFileTeamDatabase, &QAction::triggered, this, &frmMain::mnuFileTeamDatabase_Click);
    connect(mnuFileExit, &QAction::triggered, this, &frmMain::mnuFileExit_Click);
    connect(mnuCommandsStatus, &QAction::triggered, this, &frmMain::mnuCommandsStatus_Click);
    connect(mnuCommandsServerInfo, &QAction::triggered, this, &frmMain::mnuCommandsServerInfo_Click);
    connect(mnuCommandsPlayers, &QAction::triggered, this, &frmMain::mnuCommandsPlayers_Click);
    connect(mnuCommandsServers, &QAction::triggered, this, &frmMain::mnuCommandsServers_Click);
    connect(mnuCommandsMaps, &QAction::triggered, this, &frmMain::mnuCommandsMaps_Click);
    connect(mnuCommandsBans, &QAction::triggered, this, &frmMain::mnuCommandsBans_Click);
    connect(mnuCommandsLookup, &QAction::triggered, this, &frmMain::mnuCommandsLookup_Click);
    connect(mnuViewCommands, &QAction::triggered, this, &frmMain::mnuViewCommands_Click);
    connect(mnuViewVariables, &QAction::triggered, this, &frmMain::mnuViewVariables_Click);
    connect(mnuViewShowColours, &QAction::toggled, this, &frmMain::mnuViewShowColours_Click);
    connect(mnuHelpUpdate, &QAction::triggered, this, &frmMain::mnuHelpUpdate_Click);
    connect(mnuHelpFeedback, &QAction::triggered, this, &frmMain::mnuHelpFeedback_Click);
    connect(mnuHelpBug, &QAction::triggered, this, &frmMain::mnuHelpBug_Click);
    connect(mnuHelpQuillhavenHome, &QAction::triggered, this, &frmMain::mnuHelpQuillhavenHome_Click);
    connect(mnuHelpAbout, &QAction::triggered, this, &frmMain::mnuHelpAbout_Click);
}

QSize frmMain::fixedSizeForPanel() const
{
    const int client = PanelShown ? ClientHeightOut : ClientHeightIn;
    return QSize(tw(ClientWidth), menuBar()->sizeHint().height() + tw(client));
}

void frmMain::Form_Resize()
{
    if (isMinimized())
        return;
    const QSize wanted = fixedSizeForPanel();
    if (minimumSize() != wanted || maximumSize() != wanted)
        setFixedSize(wanted);
    if (size() != wanted)
        resize(wanted);
}

void frmMain::cmdShowOptions_Click()
{
    PanelShown = !PanelShown;
    cmdShowOptions->setText(PanelShown ? QStringLiteral("<< Advanced") : QStringLiteral("Advanced >>"));
    Form_Resize();
}

void frmMain::cmdQuit_Click()
{
    close();
}

void frmMain::mnuFileExit_Click()
{
    cmdQuit_Click();
}

void frmMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void frmMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();  // a restore brings back the fixed size of the current panel state
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        if (mods == Qt::NoModifier) {
            if (watched == txtCommand && commandCompletion && commandCompletion->keyPress(key->key()))
                return true;  // the names popup's keys first
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                cmdConnect_Click();  // Send is the default button
                return true;
            }
            if (watched == txtCommand && txtCommand_KeyDown(key->key()))
                return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::closeEvent(QCloseEvent* event)
{
    if (!m_unloaded)
        Form_QueryUnload();
    BeginShutdown();  // from here on nothing new is sent, opened or queued
    if (!m_unloaded) {
        m_unloaded = true;
        m_session->endErrors();
        Form_Unload();
    }
    event->accept();
}
