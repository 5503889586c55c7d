#pragma once
#include "players/StatusTable.h"

#include <QAbstractTableModel>

// The players of the latest status table, one row each, for a table view behind a sorting
// proxy. Every column sorts by its value (numbers as numbers, names without their colour
// codes); a client still connecting or going away shows that state in the Ping column, and
// sorts after every number.
class PlayersModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Client, Score, Ping, Name, Address, Rate, LastMsg, QPort, ColumnCount };
    enum Role {
        SortRole = Qt::UserRole,
        NameWithCodesRole,  // the name as the server sent it (Name column)
    };

    explicit PlayersModel(QObject* parent = nullptr);

    void setRows(const QVector<PlayerRow>& rows);
    const QVector<PlayerRow>& rows() const { return m_rows; }
    const PlayerRow& row(int r) const { return m_rows.at(r); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QVector<PlayerRow> m_rows;
};
