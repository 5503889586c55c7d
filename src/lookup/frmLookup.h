#pragma once
#include "console/BoundServer.h"
#include "memory/Queries.h"

#include <QList>
#include <QWidget>

class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;
class SendToMany;
class ServerPasswords;

// The Lookup window: what the program's memory knows of players. One search box takes a name
// fragment (colour codes and letter case ignored), an address or a prefix (203.0.113.,
// 203.0.113.0/24, an IPv6 /64); the players found are listed latest seen first. For the
// player selected: every name seen at their addresses and every address seen with their
// names, their sessions server by server, and the journal entries about them; Ban Address
// (on the server they were last seen on, a group, or every saved server, with a reason and a
// duration) and Copy Address. A second page lists the sessions of one server in a time range.
// Everything from players is shown as plain text.
class frmLookup : public QWidget {
    Q_OBJECT
public:
    explicit frmLookup(MainWindowBoxReader readBoxes, QWidget* parent = nullptr);

    enum PlayerColumn { Name, Addresses, Servers, FirstSeen, LastSeen, Sessions, Played, PlayerColumns };

    QTabWidget* tabPages = nullptr;
    QLineEdit* txtSearch = nullptr;
    QPushButton* cmdFind = nullptr;
    QLabel* lblFound = nullptr;
    QTableWidget* grdPlayers = nullptr;
    QTableWidget* grdAliases = nullptr;
    QTableWidget* grdSessions = nullptr;
    QTableWidget* grdJournal = nullptr;
    QPushButton* cmdBanAddress = nullptr;
    QPushButton* cmdCopyAddress = nullptr;
    QLabel* lblProblem = nullptr;
    QComboBox* cboServer = nullptr;
    QDateTimeEdit* dtFrom = nullptr;
    QDateTimeEdit* dtTo = nullptr;
    QPushButton* cmdShow = nullptr;
    QTableWidget* grdServerSessions = nullptr;
    QPushButton* cmdClose = nullptr;

    const QList<Memory::PlayerFound>& Found() const { return m_found; }
    void Find();
    void ShowServerSessions();
    void cmdBanAddress_Click();
    void cmdCopyAddress_Click();

private:
    void createControls();
    void showSelected();
    const Memory::PlayerFound* selected() const;
    QString selectedAddress() const;

    MainWindowBoxReader m_readBoxes;
    QList<Memory::PlayerFound> m_found;
    QList<Memory::Alias> m_aliases;
    SendToMany* m_sender = nullptr;
    ServerPasswords* m_passwords = nullptr;
};
