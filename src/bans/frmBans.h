#pragma once
#include "console/BanList.h"
#include "console/BoundServer.h"
#include "widgets/BoundWindow.h"

#include <QWidget>

class QLabel;
class QPushButton;
class QTableWidget;
class ServerCommands;

// The Bans window: the bans and exceptions of the server that the main window's boxes name,
// from its answer to "listbans", and the commands that change them. Remove reads the list
// again just before, and removes the entry by the address shown (the numbers shift after
// each removal); Ban Address... and Add Exception... check the address typed; Flush All asks
// with the count of what goes. Actions go to the server whose list is on screen, with the
// password that read it, through the main window's Send path (commandForServer), and the
// list is read again after each.
class frmBans : public QWidget {
    Q_OBJECT
public:
    explicit frmBans(MainWindowBoxReader readBoxes, QWidget* parent = nullptr);

    // Reason, admin and expiry for the bans the program's memory knows (those it placed).
    enum Column { Kind, Number, Address, Prefix, Reason, Admin, Expires, ColumnCount };

    // --- controls; object names are the same ---
    QLabel* lblServer = nullptr;
    QLabel* lblProblem = nullptr;  // what keeps the list from being read; empty when nothing does
    QTableWidget* grdBans = nullptr;
    QPushButton* cmdRemove = nullptr;
    QPushButton* cmdBanAddress = nullptr;
    QPushButton* cmdAddException = nullptr;
    QPushButton* cmdFlushAll = nullptr;
    QPushButton* cmdRefresh = nullptr;
    QPushButton* cmdClose = nullptr;
    AnswerLine* lblAnswer = nullptr;  // the server's answer to this window's latest action

    ServerCommands* serverCommands = nullptr;

    const BoundServer& server() const { return m_server; }
    const QList<BanEntry>& Entries() const { return m_entries; }
    const BanEntry* SelectedEntry() const;

    // Reads the boxes, then the server's list.
    void Refresh();
    void cmdRemove_Click();
    void cmdBanAddress_Click();
    void cmdAddException_Click();
    void cmdFlushAll_Click();

public slots:
    // A command went to a server from elsewhere (the Players window's Ban Address): an open
    // window showing that server's list reads it again when the command changes bans.
    void CommandSent(const QString& host, int port, const QString& command);
    // The exchange of an action of `window` is over: a command whose answer did not come is
    // checked with one more read of the list.
    void ActionOver(QObject* window, const QString& command, const ExchangeOutcome& outcome);

signals:
    void commandForServer(const QString& host, int port, const QString& password, const QString& command);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createControls();
    void readList(bool typed, const std::function<void(bool)>& then);
    void showList(const QList<BanEntry>& entries);
    void showKnown(const QList<BanEntry>& entries);
    void showProblem(const QString& problem);
    void updateActions();
    void add(BanEntry::Kind kind);
    void send(const QString& command);

    MainWindowBoxReader m_readBoxes;
    BoundServer m_server;
    int m_generation = 0;
    bool m_read = false;  // the list on screen was read from m_server
    QList<BanEntry> m_entries;
    std::function<void(bool)> m_afterCommands;  // a read waiting for the server's commands to be known
};
