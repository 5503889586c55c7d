#include "servers/ServersModel.h"

#include "console/ColourCodes.h"
#include "console/TimeOfDay.h"

#include <QBrush>
#include <QPalette>

namespace {
// The game types of Quake 3 Arena (the first five) and OpenArena (all of them), by number.
const char* const GameTypes[] = {"Free For All", "Tournament", "Single Player", "Team Deathmatch", "Capture the Flag",
    "One Flag CTF", "Overload", "Harvester", "Elimination", "CTF Elimination", "Last Man Standing",
    "Double Domination", "Domination"};
}

QString RichTextTip(const QString& text)
{
    return QStringLiteral("<qt>") + text.toHtmlEscaped() + QStringLiteral("</qt>");
}

QString GameTypeText(const QString& gameName, const QString& gameType)
{
    bool ok = false;
    const int n = gameType.trimmed().toInt(&ok);
    int known = 0;
    if (gameName.compare(QLatin1String("baseoa"), Qt::CaseInsensitive) == 0)
        known = int(sizeof GameTypes / sizeof *GameTypes);
    else if (gameName.compare(QLatin1String("baseq3"), Qt::CaseInsensitive) == 0)
        known = 5;
    return ok && n >= 0 && n < known ? QString::fromLatin1(GameTypes[n]) : gameType;
}

ServersModel::ServersModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

QString ServersModel::keyOf(const QString& host, int port)
{
    return host.toLower() + QLatin1Char(' ') + QString::number(port);
}

void ServersModel::setServers(const QList<SavedServer>& servers)
{
    beginResetModel();
    m_servers = servers;
    QHash<QString, PollState> kept;
    for (const SavedServer& s : servers) {
        const QString key = keyOf(s.host, s.port);
        if (m_states.contains(key))
            kept.insert(key, m_states.value(key));
    }
    m_states = kept;
    endResetModel();
}

PollState ServersModel::state(int row) const
{
    const SavedServer& s = m_servers.at(row);
    return m_states.value(keyOf(s.host, s.port));
}

void ServersModel::setState(const PolledServer& server, const PollState& state)
{
    const int row = rowOf(server.host, server.port);
    if (row < 0)
        return;
    m_states.insert(keyOf(server.host, server.port), state);
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

int ServersModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_servers.size();
}

int ServersModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ServersModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_servers.size())
        return QVariant();
    const SavedServer& s = m_servers.at(index.row());
    const PollState l = state(index.row());
    const StatusResponse& st = l.status;
    const bool answered = l.lastAnswer.isValid();  // at least once
    const bool silent = l.polls > 0 && !l.answering;
    const int column = index.column();
    if (role == Qt::DisplayRole || role == SortRole) {
        const bool sort = role == SortRole;
        switch (column) {
        case Label: return sort ? s.shownLabel().toCaseFolded() : s.shownLabel();
        case Address: return s.address();
        case Group: return sort ? s.group.toCaseFolded() : s.group;
        case HostName: return sort ? ColourCodes::Strip(st.hostName()).toCaseFolded() : ColourCodes::Strip(st.hostName());
        case Map: return st.map();
        case GameType: return GameTypeText(st.value(QStringLiteral("gamename")), st.gameType());
        case Players:
            if (!answered)
                return QVariant();
            if (sort)
                return st.players.size();
            return QStringLiteral("%1 + %2 / %3")
                .arg(QString::number(st.humans()), QString::number(st.bots()), QString::number(st.maxClients()));
        case Ping:
            if (sort)
                return l.roundTripMs < 0 ? Q_INT64_C(1) << 40 : l.roundTripMs;
            return l.roundTripMs < 0 ? QVariant() : QVariant(l.roundTripMs);
        case LastAnswer: {
            if (sort)
                return l.lastAnswer.isValid() ? l.lastAnswer.toMSecsSinceEpoch() : 0;
            const QLocale locale = QLocale::system();
            const QString at = answered ? locale.toString(l.lastAnswer.time(), TimeFormatWithSeconds(locale)) : QString();
            if (!silent)
                return at;
            const QString why = ExchangeOutcome::words(l.lastOutcome);
            return answered ? QStringLiteral("%1 (last %2)").arg(why, at) : why;
        }
        }
    }
    if (role == HostNameWithCodesRole && column == HostName)
        return st.hostName();
    if (role == Qt::ForegroundRole && silent && column != Label && column != Address && column != Group)
        return QBrush(QPalette().color(QPalette::Disabled, QPalette::Text));
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignVCenter | (column == Players || column == Ping ? Qt::AlignRight : Qt::AlignLeft));
    if (role == Qt::ToolTipRole) {
        QString tip;
        if (column == Label)
            tip = s.group.isEmpty() ? s.address() : QStringLiteral("%1, group %2").arg(s.address(), s.group);
        else if (column == HostName && !st.hostName().isEmpty())
            tip = QStringLiteral("With its colour codes: ") + st.hostName();
        else if (column == GameType && !st.gameType().isEmpty())
            tip = QStringLiteral("g_gametype ") + st.gameType();
        else if (column == Players && answered)
            tip = QStringLiteral("%1 players, %2 bots, %3 slots")
                      .arg(QString::number(st.humans()), QString::number(st.bots()), QString::number(st.maxClients()));
        return tip.isEmpty() ? QVariant() : QVariant(RichTextTip(tip));
    }
    return QVariant();
}

QVariant ServersModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QVariant();
    if (role == Qt::DisplayRole) {
        static const char* const titles[ColumnCount] = {"Label", "Address", "Group", "Host name", "Map", "Game type", "Players",
            "Ping", "Last answer"};
        return QString::fromLatin1(titles[section]);
    }
    if (role == Qt::ToolTipRole) {
        static const char* const tips[ColumnCount] = {"Your name for the server", "Address and port", "The group the server belongs to",
            "The server's own name (sv_hostname)", "The map being played", "The game type", "Players + bots / slots",
            "Round trip of the status query, in milliseconds", "When the server last answered"};
        return QString::fromLatin1(tips[section]);
    }
    return QVariant();
}
