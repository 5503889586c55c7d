#pragma once
#include "players/StatusTable.h"

#include <QElapsedTimer>
#include <QWidget>
#include <functional>

class QAction;
class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QSpinBox;
class QTableView;
class QTimer;
class PlayersModel;
class UdpClient;

// The Players window: who is on the server that the main window's boxes name, read from
// the server's answer to "status" on a socket of the window's own (its queries never reach
// the output pane or the log), and the commands an admin gives about one player: kick,
// message, ban. Those commands go out through the main window (commandChosen), which sends
// them as if they had been typed there.
//
// It asks on opening, on Refresh and every N seconds while it is open, never more often
// than once every two seconds (the server answers about one request a second from one
// address). What keeps it from reading a table is said on one line above the table; the
// last table read stays, with the time it was read. The password is read from the main
// window for each request and kept nowhere.
class frmPlayers : public QWidget {
    Q_OBJECT
public:
    // The main window's address, port and password boxes as they stand.
    struct ServerBoxTexts {
        QString address;
        QString port;
        QString password;
    };
    using ServerBoxReader = std::function<ServerBoxTexts()>;

    explicit frmPlayers(ServerBoxReader readBoxes, QWidget* parent = nullptr);
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
    // The same commands on a row's context menu.
    QAction* mnuKick = nullptr;
    QAction* mnuMessage = nullptr;
    QAction* mnuBan = nullptr;
    QAction* mnuCopyName = nullptr;
    QAction* mnuCopyAddress = nullptr;

    PlayersModel* players = nullptr;
    QSortFilterProxyModel* sortedPlayers = nullptr;
    UdpClient* udpClient = nullptr;

    // Asks the server now, or as soon as two seconds have passed since the last request.
    void Refresh();
    // The selected player; nullptr when no row is selected.
    const PlayerRow* SelectedPlayer() const;

    void mnuKick_Click();
    void mnuMessage_Click();
    void mnuBan_Click();
    void mnuCopyName_Click();
    void mnuCopyAddress_Click();

signals:
    // A command for the server about the selected player.
    void commandChosen(const QString& command);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void createControls();
    void ask();
    void udpClient_DataArrival();
    void udpClient_Error(const QString& description);
    void answerOver();
    void endRequest();
    void showTable(const StatusTable& table);
    void showProblem(const QString& problem);
    void updateActions();
    void send(const QString& command);
    bool confirm(const QString& question, const QString& title);
    QString describe(const PlayerRow& player) const;
    void restartAutoRefresh();
    void saveSettings();

    ServerBoxReader m_readBoxes;
    QTimer* m_autoRefresh = nullptr;  // every N seconds
    QTimer* m_pace = nullptr;         // holds a refresh back until two seconds have passed
    QTimer* m_noAnswer = nullptr;     // two seconds without a datagram
    QTimer* m_quiet = nullptr;        // the last datagram of the answer has come
    QElapsedTimer m_sinceRequest;
    bool m_asking = false;
    bool m_askAgain = false;
    QString m_server;                 // "host:port" of the request in flight
    QList<QByteArray> m_answer;
    QString m_tableServer;            // where the table shown came from, and when
    QString m_tableTime;
};
