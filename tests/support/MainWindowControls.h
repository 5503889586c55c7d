#pragma once
#include "console/ConsoleSession.h"
#include "widgets/OutputPane.h"
#include "widgets/VbCheckBox.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include <memory>

// The main window's controls, found by their object names as a user's tools would.
struct MainWindowControls {
    explicit MainWindowControls(const QObject& w);

    QLineEdit* txtCommand;
    QPushButton* cmdConnect;
    QLineEdit* txtPassword;
    QPushButton* cmdCopy;
    QPushButton* cmdClear;
    QPushButton* cmdQuit;
    OutputPane* txtOutput;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QPushButton* cmdShowOptions;
    QGroupBox* Frame1;
    QLineEdit* txtMinutes;
    VbCheckBox* ckQueryStat;
    VbCheckBox* ckLog;
    VbCheckBox* ckSavePwd;
    QComboBox* cboMinsSecs;
    QPushButton* Command1;
    QPushButton* Command2;
    QComboBox* txtAddr;
    QComboBox* txtPort;
    QPushButton* cmdClearHist;
    QTimer* tmrMain;
    QMenu* mnuFile;
    QAction* mnuFileViewLog;
    QAction* mnuFileExit;
    QMenu* mnuCommands;
    QAction* mnuCommandsStatus;
    QAction* mnuCommandsServerInfo;
    QAction* mnuCommandsPlayers;
    QAction* mnuCommandsServers;
    QAction* mnuCommandsMaps;
    QAction* mnuCommandsBans;
    QMenu* mnuView;
    QAction* mnuViewCommands;
    QAction* mnuViewVariables;
    QAction* mnuViewRefreshNames;
    QAction* mnuViewShowColours;
    QMenu* mnuFileHelp;
    QAction* mnuHelpUpdate;
    QAction* mnuHelpFeedback;
    QAction* mnuHelpBug;
    QAction* mnuHelpQuillhavenHome;
    QAction* mnuHelpAbout;
};

inline MainWindowControls::MainWindowControls(const QObject& w)
    :
      txtCommand(w.findChild<QLineEdit*>(QStringLiteral("txtCommand"))),
      cmdConnect(w.findChild<QPushButton*>(QStringLiteral("cmdConnect"))),
      txtPassword(w.findChild<QLineEdit*>(QStringLiteral("txtPassword"))),
      cmdCopy(w.findChild<QPushButton*>(QStringLiteral("cmdCopy"))),
      cmdClear(w.findChild<QPushButton*>(QStringLiteral("cmdClear"))),
      cmdQuit(w.findChild<QPushButton*>(QStringLiteral("cmdQuit"))),
      txtOutput(w.findChild<OutputPane*>(QStringLiteral("txtOutput"))),
      Label1(w.findChild<QLabel*>(QStringLiteral("Label1"))),
      Label2(w.findChild<QLabel*>(QStringLiteral("Label2"))),
      Label3(w.findChild<QLabel*>(QStringLiteral("Label3"))),
      Label4(w.findChild<QLabel*>(QStringLiteral("Label4"))),
      Label5(w.findChild<QLabel*>(QStringLiteral("Label5"))),
      cmdShowOptions(w.findChild<QPushButton*>(QStringLiteral("cmdShowOptions"))),
      Frame1(w.findChild<QGroupBox*>(QStringLiteral("Frame1"))),
      txtMinutes(w.findChild<QLineEdit*>(QStringLiteral("txtMinutes"))),
      ckQueryStat(w.findChild<VbCheckBox*>(QStringLiteral("ckQueryStat"))),
      ckLog(w.findChild<VbCheckBox*>(QStringLiteral("ckLog"))),
      ckSavePwd(w.findChild<VbCheckBox*>(QStringLiteral("ckSavePwd"))),
      cboMinsSecs(w.findChild<QComboBox*>(QStringLiteral("cboMinsSecs"))),
      Command1(w.findChild<QPushButton*>(QStringLiteral("Command1"))),
      Command2(w.findChild<QPushButton*>(QStringLiteral("Command2"))),
      txtAddr(w.findChild<QComboBox*>(QStringLiteral("txtAddr"))),
      txtPort(w.findChild<QComboBox*>(QStringLiteral("txtPort"))),
      cmdClearHist(w.findChild<QPushButton*>(QStringLiteral("cmdClearHist"))),
      tmrMain(w.findChild<QTimer*>(QStringLiteral("tmrMain"))),
      mnuFile(w.findChild<QMenu*>(QStringLiteral("mnuFile"))),
      mnuFileViewLog(w.findChild<QAction*>(QStringLiteral("mnuFileViewLog"))),
      mnuFileExit(w.findChild<QAction*>(QStringLiteral("mnuFileExit"))),
      mnuCommands(w.findChild<QMenu*>(QStringLiteral("mnuCommands"))),
      mnuCommandsStatus(w.findChild<QAction*>(QStringLiteral("mnuCommandsStatus"))),
      mnuCommandsServerInfo(w.findChild<QAction*>(QStringLiteral("mnuCommandsServerInfo"))),
      mnuCommandsPlayers(w.findChild<QAction*>(QStringLiteral("mnuCommandsPlayers"))),
      mnuCommandsServers(w.findChild<QAction*>(QStringLiteral("mnuCommandsServers"))),
      mnuCommandsMaps(w.findChild<QAction*>(QStringLiteral("mnuCommandsMaps"))),
      mnuCommandsBans(w.findChild<QAction*>(QStringLiteral("mnuCommandsBans"))),
      mnuView(w.findChild<QMenu*>(QStringLiteral("mnuView"))),
      mnuViewCommands(w.findChild<QAction*>(QStringLiteral("mnuViewCommands"))),
      mnuViewVariables(w.findChild<QAction*>(QStringLiteral("mnuViewVariables"))),
      mnuViewRefreshNames(w.findChild<QAction*>(QStringLiteral("mnuViewRefreshNames"))),
      mnuViewShowColours(w.findChild<QAction*>(QStringLiteral("mnuViewShowColours"))),
      mnuFileHelp(w.findChild<QMenu*>(QStringLiteral("mnuFileHelp"))),
      mnuHelpUpdate(w.findChild<QAction*>(QStringLiteral("mnuHelpUpdate"))),
      mnuHelpFeedback(w.findChild<QAction*>(QStringLiteral("mnuHelpFeedback"))),
      mnuHelpBug(w.findChild<QAction*>(QStringLiteral("mnuHelpBug"))),
      mnuHelpQuillhavenHome(w.findChild<QAction*>(QStringLiteral("mnuHelpQuillhavenHome"))),
      mnuHelpAbout(w.findChild<QAction*>(QStringLiteral("mnuHelpAbout")))
{
    // A control that is not found is a fault of the window, not a null to step on later.
    for (QObject* control : std::initializer_list<QObject*>{txtCommand, cmdConnect, txtPassword, cmdCopy, cmdClear, cmdQuit, txtOutput, Label1, Label2, Label3, Label4, Label5, cmdShowOptions, Frame1, txtMinutes, ckQueryStat, ckLog, ckSavePwd, cboMinsSecs, Command1, Command2, txtAddr, txtPort, cmdClearHist, tmrMain, mnuFile, mnuFileViewLog, mnuFileExit, mnuCommands, mnuCommandsStatus, mnuCommandsServerInfo, mnuCommandsPlayers, mnuCommandsServers, mnuCommandsMaps, mnuCommandsBans, mnuView, mnuViewCommands, mnuViewVariables, mnuViewRefreshNames, mnuViewShowColours, mnuFileHelp, mnuHelpUpdate, mnuHelpFeedback, mnuHelpBug, mnuHelpQuillhavenHome, mnuHelpAbout})
        if (!control)
            qFatal("a control of the main window is missing");
}

inline MainWindowControls ui(const QObject& w) { return MainWindowControls(w); }
inline MainWindowControls ui(const QObject* w) { return MainWindowControls(*w); }
template <class W>
MainWindowControls ui(const std::unique_ptr<W>& w) { return MainWindowControls(*w); }
