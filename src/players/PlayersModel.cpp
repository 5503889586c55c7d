#include "players/PlayersModel.h"

#include "console/ColourCodes.h"

#include <QTextDocument>

namespace {
QVariant number(int value)
{
    return value < 0 ? QVariant(QString()) : QVariant(value);
}
}

PlayersModel::PlayersModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void PlayersModel::setRows(const QVector<PlayerRow>& rows)
{
    beginResetModel();
    m_rows = rows;
    endResetModel();
}

int PlayersModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int PlayersModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PlayersModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    const PlayerRow& p = m_rows.at(index.row());
    const int column = index.column();
    if (role == Qt::DisplayRole || role == SortRole) {
        switch (column) {
        case Client: return p.client;
        case Score: return p.score;
        case Ping:
            if (role == SortRole)  // connecting and leaving players last
                return p.ping >= 0 ? p.ping : (p.isConnecting() ? 1000000 : 1000001);
            return p.isConnecting() ? QStringLiteral("connecting") : p.isLeaving() ? QStringLiteral("leaving") : p.pingText;
        case Name:
            return role == SortRole ? ColourCodes::Strip(p.name).toCaseFolded() : ColourCodes::Strip(p.name);
        case Address: return p.address;
        case Rate: return number(p.rate);
        case LastMsg: return number(p.lastMsg);
        case QPort: return number(p.qport);
        }
    }
    if (role == NameWithCodesRole && column == Name)
        return p.name;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignVCenter | (column == Name || column == Address ? Qt::AlignLeft : Qt::AlignRight));
    if (role == Qt::ToolTipRole) {
        if (column == Ping && p.ping < 0) {
            // The server's own word, which is plain letters: a row with another one is not read.
            return (p.isConnecting() ? QStringLiteral("Still connecting (the server writes %1)")
                                     : QStringLiteral("Gone; the server frees the slot shortly (it writes %1)")).arg(p.pingText);
        }
        if (column == Name) {
            // The name whole, also where the column cuts it short. A tooltip is rendered as
            // markup when it looks like markup: the text is made markup-safe here, so that a
            // name always shows as the characters it is.
            QString tip = ColourCodes::Strip(p.name);
            if (tip != p.name)
                tip += QStringLiteral("\nWith its colour codes: ") + p.name;
            return Qt::convertFromPlainText(tip, Qt::WhiteSpacePre);
        }
    }
    return QVariant();
}

QVariant PlayersModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return QVariant();
    if (role == Qt::DisplayRole) {
        static const char* const titles[ColumnCount] = {"#", "Score", "Ping", "Name", "Address", "Rate", "Last msg", "QPort"};
        return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section]) : QVariant();
    }
    if (role == Qt::ToolTipRole) {
        static const char* const tips[ColumnCount] = {"Client number", "Score", "Ping in milliseconds", "Player name",
            "Network address (\"bot\" for a bot)", "Rate in bytes a second", "Milliseconds since the last message",
            "The client's port number for the server"};
        return section >= 0 && section < ColumnCount ? QString::fromLatin1(tips[section]) : QVariant();
    }
    return QVariant();
}
