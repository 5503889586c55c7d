#pragma once
#include "console/ServerList.h"
#include "servers/ServerPoller.h"

#include <QAbstractTableModel>
#include <QHash>

// The Servers window's table: the admin's servers in list order, each with what its latest
// answer to "getstatus" said. A server that stopped answering keeps its last values, shown
// greyed, and says "no answer".
class ServersModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Label, Address, Group, HostName, Map, GameType, Players, Ping, LastAnswer, ColumnCount };
    enum Role {
        SortRole = Qt::UserRole,
        HostNameWithCodesRole,  // the host name as the server sent it (HostName column)
    };

    explicit ServersModel(QObject* parent = nullptr);

    // A new list: what is known of a server stays with it when it is still there.
    void setServers(const QList<SavedServer>& servers);
    const QList<SavedServer>& servers() const { return m_servers; }
    const SavedServer& server(int row) const { return m_servers.at(row); }
    PollState state(int row) const;
    int rowOf(const QString& host, int port) const { return IndexOfServer(m_servers, host, port); }

    // What the latest poll of a server found.
    void setState(const PolledServer& server, const PollState& state);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    static QString keyOf(const QString& host, int port);

    QList<SavedServer> m_servers;
    QHash<QString, PollState> m_states;  // by host:port, host in lower case
};

// A game type as people know it, for the games whose numbering is known (Quake 3 Arena's
// baseq3 and OpenArena's baseoa); otherwise the number as the server sent it.
QString GameTypeText(const QString& gameName, const QString& gameType);

// A tool tip that shows the text exactly: a tool tip takes text that looks like markup as
// markup, so the text goes escaped inside markup of its own.
QString RichTextTip(const QString& text);
