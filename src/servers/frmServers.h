#pragma once
#include "console/ServerList.h"

#include <QWidget>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QSpinBox;
class QSplitter;
class QTableView;
class OutputPane;
class SendToMany;
class ServerPasswords;
class ServerPoller;
class ServersModel;
struct SendResult;

// The Servers window: the admin's own list of servers, each live from its answer to
// "getstatus" (no password needed), polled every N seconds while the window is open, and one
// command sent to several of them at once, each with its own password from the keyring.
// Enter or a double click on a server puts it into the main window's boxes.
class frmServers : public QWidget {
    Q_OBJECT
public:
    // What the window needs of the main window.
    struct MainWindowLink {
        // The address, port and password boxes as they stand.
        std::function<void(QString* address, QString* port, QString* password)> readBoxes;
        // Puts a server into those boxes.
        std::function<void(const QString& host, int port, const QString& password)> fillBoxes;
        // Whether Save Log is on.
        std::function<bool()> logging;
    };

    explicit frmServers(MainWindowLink link, QWidget* parent = nullptr);
    ~frmServers() override;

    // --- controls; object names are the same ---
    QLabel* lblNotice = nullptr;  // a damaged list file, no keyring, a list that cannot be saved
    QPushButton* cmdAddCurrent = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdEdit = nullptr;
    QPushButton* cmdRemove = nullptr;
    QSpinBox* txtPollSeconds = nullptr;
    QTableView* grdServers = nullptr;
    QComboBox* cboSendTo = nullptr;  // the selected servers, all of them, or a group
    QLineEdit* txtCommand = nullptr;
    QPushButton* cmdSend = nullptr;
    OutputPane* txtResults = nullptr;
    QPushButton* cmdClose = nullptr;
    QSplitter* splitter = nullptr;

    ServersModel* servers = nullptr;
    QSortFilterProxyModel* sortedServers = nullptr;
    ServerPasswords* passwords = nullptr;
    ServerPoller* poller = nullptr;
    SendToMany* sender = nullptr;

    void cmdAddCurrent_Click();
    void cmdAdd_Click();
    void cmdEdit_Click();
    void cmdRemove_Click();
    void cmdSend_Click();
    // Puts the server of a row of the table into the main window's boxes.
    void grdServers_Activated(int row);

    // The servers that Send goes to: the group chosen, or else the selected rows, in list order.
    QList<SavedServer> SendTargets() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void createControls();
    QList<int> selectedRows() const;
    void setList(const QList<SavedServer>& list);
    bool saveList();
    void addNotice(const QString& line);
    // What keeps the form from taking `server`: another row than `row` has its address.
    QString inListAlready(const SavedServer& server, int row) const;
    void updateGroups();
    void updateActions();
    void restartPolling();
    void showResult(const SendResult& result);
    void appendResults(const QString& text);
    void saveSettings();

    MainWindowLink m_link;
    bool m_mayWrite = true;
    QStringList m_notices;
};
