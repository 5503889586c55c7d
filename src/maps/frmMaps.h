#pragma once
#include "console/BoundServer.h"
#include "widgets/BoundWindow.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QSortFilterProxyModel;
class QStringListModel;
class ServerCommands;

// The Maps window: the maps of the server that the main window's boxes name, from its
// answer to "fdir *.bsp" (kept in the user's folder, so the next opening shows it at once),
// its current map and game type from the out-of-band getstatus, and the `nextmap` variable.
// Change Map, Restart Map and Next Map ask first, then go to the server whose list is on
// screen through the main window's Send path (commandForServer); after one, the current map
// is read again once the server answers getstatus.
//
// It reads on opening and on Refresh List; the main window's boxes are read then. When they
// name another server, the list is emptied and read from that one, and the actions wait for
// its answer. What keeps it from reading is said on one line above the list.
class frmMaps : public QWidget {
    Q_OBJECT
public:
    explicit frmMaps(MainWindowBoxReader readBoxes, QWidget* parent = nullptr);

    // --- controls; object names are the same ---
    QLabel* lblServer = nullptr;    // the server, its current map and game type
    QLabel* lblNextMap = nullptr;   // the nextmap variable's value
    QLabel* lblProblem = nullptr;   // what keeps the window from reading; empty when nothing does
    QLineEdit* txtFilter = nullptr;
    QListView* lstMaps = nullptr;
    QPushButton* cmdChangeMap = nullptr;
    QPushButton* cmdRestartMap = nullptr;
    QPushButton* cmdNextMap = nullptr;
    QPushButton* cmdRefreshList = nullptr;
    QPushButton* cmdClose = nullptr;
    AnswerLine* lblAnswer = nullptr;  // the server's answer to this window's latest action

    QStringListModel* maps = nullptr;
    QSortFilterProxyModel* filteredMaps = nullptr;
    ServerCommands* serverCommands = nullptr;

    const BoundServer& server() const { return m_server; }
    // The map names shown, after the filter, top to bottom.
    QStringList ShownMaps() const;
    QString SelectedMap() const;  // empty when none is selected
    QString CurrentMap() const { return m_currentMap; }

    // Reads the boxes, then the server's current map and nextmap, and its list when none is
    // kept for it (or `list` is set).
    void Refresh(bool list = false);
    void cmdChangeMap_Click();
    void cmdRestartMap_Click();
    void cmdNextMap_Click();
    // The exchange of an action of `window` is over: a command whose answer did not come is
    // checked with one more read of the current map.
    void ActionOver(QObject* window, const QString& command, const ExchangeOutcome& outcome);

signals:
    // An action for the server on screen, with the password that read it.
    void commandForServer(const QString& host, int port, const QString& password, const QString& command);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void bind(const BoundServer& server);
    // The current map and game type; after a command, again until the server names
    // `expectedMap` ("*": any map), at most `tries` more times.
    void askStatus(const QString& expectedMap, int tries);
    // An rcon answer for the binding on screen: true when the server answered (its password
    // is good, actions may go there); otherwise false, and the problem line says why, unless
    // the request was skipped or cancelled.
    bool takeAnswer(int generation, const ExchangeRequest& request, const ExchangeOutcome& outcome);
    void askNextMap();
    void askList(bool typed);
    void showList(const QStringList& names);
    void showProblem(const QString& problem);
    void showServerLine();
    void updateActions();
    void send(const QString& command, const QString& expectedMap);  // "*": any map

    MainWindowBoxReader m_readBoxes;
    BoundServer m_server;
    int m_generation = 0;       // answers for an earlier binding are dropped
    bool m_answered = false;    // the server answered the password: actions may go there
    bool m_wantList = false;    // the list is to be read once the server's commands are known
    bool m_listTyped = false;
    QString m_currentMap;
    QString m_gameType;
    QString m_nextMap;
    bool m_nextMapKnown = false;
};
