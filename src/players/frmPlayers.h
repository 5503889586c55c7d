#pragma once
#include "console/BoundServer.h"
#include "console/ExchangeObserver.h"
#include "widgets/BoundWindow.h"
#include "players/StatusTable.h"

#include <QElapsedTimer>
#include <QWidget>
#include <functional>
#include <optional>

class QAction;
class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QSpinBox;
class QTableView;
class QTimer;
class PlayersModel;
class ServerCommands;
class ServerExchange;
struct ExchangeOutcome;

// The Players window: who is on a server, read from its answer to "status" through the
// exchange unit (its queries never reach the output pane or the log), and the commands an
// admin gives about one player: kick, message, ban.
//
// It reads the server that the main window's boxes name, and is bound to the server whose
// table it shows: every command goes to that server with the password that read the table
// (commandChosen), whatever the boxes hold by then. When the boxes name another server at a
// refresh, the table is emptied and read from that one; until it is on screen nothing can be
// chosen. Just before a command goes, the table is read once more, and the command is sent
// only when the same client number still holds the same player (and, for a ban, the same
// address); otherwise the line above the table says what changed. An action is offered only
// where the server has its command (ServerCommands): a server's game code shows an unknown
// command to every player.
//
// It asks on opening, on Refresh and every N seconds while it is open, never more often
// than once every two seconds. What keeps it from reading a table is said on one line above
// the table; the last table read stays, with the time it was read. The password is read
// from the main window for each request and kept only with the table it read.
class frmPlayers : public QWidget {
    Q_OBJECT
public:
    explicit frmPlayers(MainWindowBoxReader readBoxes, QWidget* parent = nullptr);
    ~frmPlayers() override;

    // --- controls; object names are the same ---
    QLabel* lblSummary = nullptr;   // server, map, players and bots, the time the table was read
    QLabel* lblProblem = nullptr;   // what keeps the table from being read; empty when nothing does
    QPushButton* cmdRefresh = nullptr;
    QSpinBox* txtRefreshSeconds = nullptr;  // 0: no automatic refresh
    QTableView* grdPlayers = nullptr;
    QPushButton* cmdKick = nullptr;
    QPushButton* cmdMessage = nullptr;
    QPushButton* cmdBan = nullptr;
    QPushButton* cmdCopyName = nullptr;
    QPushButton* cmdCopyAddress = nullptr;
    QPushButton* cmdClose = nullptr;
    AnswerLine* lblAnswer = nullptr;  // the server's answer to this window's latest command
    // The same commands on a row's context menu.
    QAction* mnuKick = nullptr;
    QAction* mnuMessage = nullptr;
    QAction* mnuBan = nullptr;
    QAction* mnuCopyName = nullptr;
    QAction* mnuCopyAddress = nullptr;

    PlayersModel* players = nullptr;
    QSortFilterProxyModel* sortedPlayers = nullptr;
    ServerCommands* serverCommands = nullptr;  // the commands of the table's server

    // Asks the server now, or as soon as two seconds have passed since the last request.
    void Refresh();
    // The selected player; nullptr when no row is selected.
    const PlayerRow* SelectedPlayer() const;
    // "host:port" of the server whose table is on screen; empty while there is none.
    QString TableServer() const;

    void mnuKick_Click();
    void mnuMessage_Click();
    void mnuBan_Click();
    void mnuCopyName_Click();
    void mnuCopyAddress_Click();
    // The exchange of an action of `window` is over: a kick whose answer did not come is
    // checked with one more read of the table, which says whether the player is still there.
    void ActionOver(QObject* window, const QString& command, const ExchangeOutcome& outcome);

signals:
    // A command about a player of the table, for the server that table was read from, with
    // the password that read it.
    void commandChosen(const QString& host, int port, const QString& password, const QString& command);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // A command chosen and waiting for the check of its player.
    struct Action {
        BoundServer server;
        PlayerRow player;
        QString command;
        bool sameAddress = false;  // a ban: the address must not have changed either
        QString before;            // a command sent just before it (the reason told before a kick)
        JournalNote note;          // what the journal keeps with it
        qint64 durationMs = 0;     // a ban's: counted from when it is sent; 0 permanent
    };

    void createControls();
    void ask();
    void answered(const ExchangeOutcome& outcome);
    // The table of an answer; when there is none, what kept it from being read ("" when
    // there is nothing to say).
    QString readTable(const ExchangeOutcome& outcome, StatusTable* table) const;
    void checked(const StatusTable& table, const QString& problem);
    void choose(const PlayerRow& player, const QString& command, bool sameAddress, const QString& before = QString(),
        const JournalNote& note = JournalNote(), qint64 durationMs = 0);
    void showTable(const StatusTable& table);
    void showProblem(const QString& problem);
    void updateActions();
    // The question, with when the table was read when it may be out of date.
    QString withTableTime(const QString& question) const;
    void restartAutoRefresh();
    void saveSettings();

    MainWindowBoxReader m_readBoxes;
    QTimer* m_autoRefresh = nullptr;  // every N seconds
    QTimer* m_pace = nullptr;         // holds a request back until two seconds have passed
    QElapsedTimer m_sinceRequest;
    ServerExchange* m_asking = nullptr;
    bool m_askAgain = false;
    BoundServer m_reading;            // the server of the request in flight
    BoundServer m_table;              // the server of the table on screen; unset while none
    QString m_tableTime;
    std::optional<Action> m_action;
    std::optional<Action> m_kicked;  // the latest kick sent, while its answer may be missing
    bool m_checkKick = false;        // the next table read tells whether that kick ran
};
