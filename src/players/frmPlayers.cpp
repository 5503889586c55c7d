#include "players/frmPlayers.h"

#include "completion/ServerCommands.h"
#include "console/ColourCodes.h"
#include "console/NoAnswerLine.h"
#include "console/RconDatagram.h"
#include "console/ServerAddress.h"
#include "console/ServerExchange.h"
#include "settings/Shutdown.h"
#include "console/TimeOfDay.h"
#include "widgets/NameDelegate.h"
#include "players/PlayerCommands.h"
#include "players/PlayersModel.h"
#include "console/ServerList.h"
#include "settings/SettingsStore.h"
#include "widgets/BanDialog.h"
#include "widgets/MessageBox.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int MinRequestGapMs = 2000;  // the server answers about one request a second
constexpr int NoAnswerMs = 2000;
// A long answer comes in several datagrams, sent back to back; this long without one more
// and the answer is whole.
constexpr int AnswerQuietMs = 300;
// The commands of the actions, which a server may lack.
const QString Kick = QStringLiteral("clientkick");
const QString Tell = QStringLiteral("tell");
const QString Ban = QStringLiteral("banaddr");
// After a command, the server's table has changed by the time of the next request.
constexpr int RefreshAfterCommandMs = 1000;

// A socket error's description has no full stop of its own.
QString sentence(const QString& text)
{
    return text.endsWith(QLatin1Char('.')) ? text : text + QLatin1Char('.');
}

// A player as the questions name them: "Bob (client 5)", without colour codes.
QString describe(const PlayerRow& player)
{
    return QStringLiteral("%1 (client %2)").arg(ColourCodes::Strip(player.name), QString::number(player.client));
}

// The column of the server's table that each of the model's columns shows.
const char* serverColumn(int column)
{
    switch (column) {
    case PlayersModel::Score: return "score";
    case PlayersModel::Ping: return "ping";
    case PlayersModel::Address: return "address";
    case PlayersModel::Rate: return "rate";
    case PlayersModel::LastMsg: return "lastmsg";
    case PlayersModel::QPort: return "qport";
    default: return nullptr;  // always there
    }
}
}

frmPlayers::frmPlayers(MainWindowBoxReader readBoxes, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_readBoxes(std::move(readBoxes))
{
    setObjectName(QStringLiteral("frmPlayers"));
    setWindowTitle(QStringLiteral("Players"));
    createControls();

    if (!restoreGeometry(QByteArray::fromBase64(GetProgramSetting(Key::PlayersGeometry).toLatin1())))
        resize(720, 400);
    QHeaderView* header = grdPlayers->horizontalHeader();
    header->restoreState(QByteArray::fromBase64(GetProgramSetting(Key::PlayersColumns).toLatin1()));
    grdPlayers->sortByColumn(header->sortIndicatorSection(), header->sortIndicatorOrder());
    bool ok = false;
    const int seconds = GetProgramSetting(Key::PlayersRefreshSeconds, Default::PlayersRefreshSeconds).trimmed().toInt(&ok);
    txtRefreshSeconds->setValue(ok && seconds >= 0 && seconds <= txtRefreshSeconds->maximum()
            ? seconds : Default::PlayersRefreshSeconds.toInt());
    connect(txtRefreshSeconds, &QSpinBox::valueChanged, this, &frmPlayers::restartAutoRefresh);
}

frmPlayers::~frmPlayers()
{
    // The program may end with this window open: it goes with the main window, unhidden.
    if (isVisible())
        saveSettings();
}

void frmPlayers::createControls()
{
    auto* layout = new QVBoxLayout(this);

    // Both lines show what servers and players sent: plain text, never markup.
    lblProblem = new QLabel(this);
    lblProblem->setObjectName(QStringLiteral("lblProblem"));
    lblProblem->setTextFormat(Qt::PlainText);
    QPalette warning = lblProblem->palette();
    warning.setColor(QPalette::WindowText, QColor(176, 0, 0));
    lblProblem->setPalette(warning);
    lblProblem->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Its line is there when empty too, so that nothing moves when a problem comes or goes.
    lblProblem->setMinimumHeight(lblProblem->fontMetrics().height());

    auto* top = new QHBoxLayout;
    lblSummary = new QLabel(QStringLiteral("No table read yet."), this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setTextFormat(Qt::PlainText);
    lblSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    top->addWidget(lblSummary, 1);
    cmdRefresh = new QPushButton(QStringLiteral("&Refresh"), this);
    cmdRefresh->setObjectName(QStringLiteral("cmdRefresh"));
    top->addWidget(cmdRefresh);
    auto* every = new QLabel(this);
    every->setTextFormat(Qt::PlainText);
    every->setText(QStringLiteral("E&very"));
    top->addWidget(every);
    txtRefreshSeconds = new QSpinBox(this);
    txtRefreshSeconds->setObjectName(QStringLiteral("txtRefreshSeconds"));
    txtRefreshSeconds->setRange(0, 3600);
    txtRefreshSeconds->setSuffix(QStringLiteral(" s"));
    txtRefreshSeconds->setSpecialValueText(QStringLiteral("never"));
    txtRefreshSeconds->setAccessibleName(QStringLiteral("Refresh every (seconds, 0 never)"));
    txtRefreshSeconds->setToolTip(QStringLiteral("Seconds between automatic refreshes; 0 turns them off. "
                                                 "The window never asks more often than every 2 seconds."));
    every->setBuddy(txtRefreshSeconds);
    top->addWidget(txtRefreshSeconds);
    layout->addLayout(top);
    layout->addWidget(lblProblem);

    players = new PlayersModel(this);
    sortedPlayers = new QSortFilterProxyModel(this);
    sortedPlayers->setSourceModel(players);
    sortedPlayers->setSortRole(PlayersModel::SortRole);
    grdPlayers = new QTableView(this);
    grdPlayers->setObjectName(QStringLiteral("grdPlayers"));
    grdPlayers->setAccessibleName(QStringLiteral("Players"));
    grdPlayers->setModel(sortedPlayers);
    grdPlayers->setItemDelegateForColumn(PlayersModel::Name, new NameDelegate(PlayersModel::NameWithCodesRole, grdPlayers));
    grdPlayers->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdPlayers->setSelectionMode(QAbstractItemView::SingleSelection);
    grdPlayers->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdPlayers->setWordWrap(false);
    grdPlayers->setSortingEnabled(true);
    grdPlayers->verticalHeader()->hide();
    grdPlayers->verticalHeader()->setDefaultSectionSize(grdPlayers->fontMetrics().height() + 8);
    grdPlayers->setContextMenuPolicy(Qt::CustomContextMenu);
    grdPlayers->setTabKeyNavigation(false);  // Tab leaves the table; the arrows move in it
    QHeaderView* header = grdPlayers->horizontalHeader();
    header->setSectionResizeMode(PlayersModel::Address, QHeaderView::Stretch);
    header->setSortIndicator(PlayersModel::Client, Qt::AscendingOrder);
    const int widths[PlayersModel::ColumnCount] = {36, 56, 76, 200, 160, 60, 70, 60};
    for (int c = 0; c < PlayersModel::ColumnCount; ++c)
        header->resizeSection(c, widths[c]);
    // Until a table says otherwise: the columns only classic Quake 3 servers send are hidden.
    header->hideSection(PlayersModel::LastMsg);
    header->hideSection(PlayersModel::QPort);
    layout->addWidget(grdPlayers, 1);
    lblAnswer = new AnswerLine(this, "lblAnswer");
    layout->addWidget(lblAnswer);

    auto action = [this](const char* name, const QString& caption, void (frmPlayers::*handler)()) {
        auto* a = new QAction(caption, this);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    mnuKick = action("mnuKick", QStringLiteral("&Kick"), &frmPlayers::mnuKick_Click);
    mnuMessage = action("mnuMessage", QStringLiteral("&Message..."), &frmPlayers::mnuMessage_Click);
    mnuBan = action("mnuBan", QStringLiteral("&Ban Address"), &frmPlayers::mnuBan_Click);
    mnuCopyName = action("mnuCopyName", QStringLiteral("Copy &Name"), &frmPlayers::mnuCopyName_Click);
    mnuCopyAddress = action("mnuCopyAddress", QStringLiteral("Copy &Address"), &frmPlayers::mnuCopyAddress_Click);
    // Keys on the table: Delete kicks (after the question), Ctrl+C copies the name.
    mnuKick->setShortcut(QKeySequence::Delete);
    mnuCopyName->setShortcut(QKeySequence::Copy);
    for (QAction* a : {mnuKick, mnuCopyName}) {
        a->setShortcutContext(Qt::WidgetShortcut);
        grdPlayers->addAction(a);
    }

    auto* bottom = new QHBoxLayout;
    auto button = [this, bottom](const char* name, QAction* a) {
        auto* b = new QPushButton(a->text(), this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, a, &QAction::trigger);
        connect(a, &QAction::changed, b, [a, b] { b->setEnabled(a->isEnabled()); });
        bottom->addWidget(b);
        return b;
    };
    cmdKick = button("cmdKick", mnuKick);
    cmdMessage = button("cmdMessage", mnuMessage);
    cmdBan = button("cmdBan", mnuBan);
    cmdCopyName = button("cmdCopyName", mnuCopyName);
    cmdCopyAddress = button("cmdCopyAddress", mnuCopyAddress);
    bottom->addStretch(1);
    cmdClose = new QPushButton(QStringLiteral("&Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setAutoDefault(false);
    bottom->addWidget(cmdClose);
    layout->addLayout(bottom);

    serverCommands = new ServerCommands(this);
    connect(serverCommands, &ServerCommands::changed, this, &frmPlayers::updateActions);
    auto timer = [this](int ms, void (frmPlayers::*handler)()) {
        auto* t = new QTimer(this);
        t->setSingleShot(ms > 0);
        t->setInterval(ms);
        connect(t, &QTimer::timeout, this, handler);
        return t;
    };
    m_autoRefresh = timer(0, &frmPlayers::Refresh);
    m_pace = timer(MinRequestGapMs, &frmPlayers::ask);

    connect(cmdRefresh, &QPushButton::clicked, this, &frmPlayers::Refresh);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this, &QWidget::close);
    connect(grdPlayers->selectionModel(), &QItemSelectionModel::selectionChanged, this, &frmPlayers::updateActions);
    connect(grdPlayers, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const QModelIndex index = grdPlayers->indexAt(at);
        if (!index.isValid())
            return;
        grdPlayers->selectRow(index.row());
        QMenu menu(this);
        menu.addActions({mnuKick, mnuMessage, mnuBan});
        menu.addSeparator();
        menu.addActions({mnuCopyName, mnuCopyAddress});
        menu.exec(grdPlayers->viewport()->mapToGlobal(at));
    });
    updateActions();
}

void frmPlayers::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    restartAutoRefresh();
    Refresh();
}

void frmPlayers::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous())
        return;  // minimised: still open
    saveSettings();
    m_autoRefresh->stop();
    m_pace->stop();
    m_askAgain = false;
    m_action.reset();
    if (m_asking) {
        m_asking->disconnect(this);
        m_asking->cancel();
        m_asking = nullptr;
    }
    updateActions();
}

void frmPlayers::saveSettings()
{
    SaveProgramSetting(Key::PlayersGeometry, QString::fromLatin1(saveGeometry().toBase64()));
    SaveProgramSetting(Key::PlayersColumns, QString::fromLatin1(grdPlayers->horizontalHeader()->saveState().toBase64()));
    SaveProgramSetting(Key::PlayersRefreshSeconds, QString::number(txtRefreshSeconds->value()));
}

void frmPlayers::restartAutoRefresh()
{
    const int seconds = txtRefreshSeconds->value();
    if (seconds <= 0 || !isVisible()) {
        m_autoRefresh->stop();
        return;
    }
    m_autoRefresh->start(qMax(seconds * 1000, MinRequestGapMs));
}

void frmPlayers::Refresh()
{
    if (!isVisible())
        return;
    if (m_asking) {
        m_askAgain = true;  // when this answer is in
        return;
    }
    if (m_pace->isActive())
        return;
    if (m_sinceRequest.isValid() && m_sinceRequest.elapsed() < MinRequestGapMs) {
        m_pace->start(MinRequestGapMs - static_cast<int>(m_sinceRequest.elapsed()));
        return;
    }
    ask();
}

QString frmPlayers::TableServer() const
{
    return m_table.isSet() ? m_table.text() : QString();
}

void frmPlayers::ask()
{
    if (ShuttingDown())
        return;
    if (m_action) {
        // The check before a command: the table of the command's server, read once more.
        m_reading = m_action->server;
    } else {
        QString problem;
        const BoundServer server = ReadBoundServer(m_readBoxes(), &problem);
        if (!server.isSet()) {
            showProblem(problem);
            return;
        }
        m_reading = server;
        if (m_table.isSet() && !m_reading.sameServer(m_table)) {
            // Another server: nothing of the old table can be chosen for it.
            m_table = BoundServer();
            m_tableTime.clear();
            players->setRows({});
            lblProblem->clear();
            lblSummary->setText(QStringLiteral("Reading %1 ...").arg(m_reading.text()));
            updateActions();
        }
    }
    // A refresh gives way to typed commands; the check before a command is one of them.
    ExchangeRequest request = BoundRequest(m_reading, QStringLiteral("status"),
        m_action ? ExchangeRequest::Priority::Typed : ExchangeRequest::Priority::Automatic);
    if (!m_action)
        request.skipIfWaitLongerMs = txtRefreshSeconds->value() * 1000;
    request.firstDatagramMs = NoAnswerMs;
    request.quietMs = AnswerQuietMs;
    m_sinceRequest.start();
    m_asking = ServerExchange::ask(request, this);
    connect(m_asking, &ServerExchange::finished, this, &frmPlayers::answered);
}

void frmPlayers::answered(const ExchangeOutcome& outcome)
{
    m_asking = nullptr;
    StatusTable table;
    const QString problem = readTable(outcome, &table);
    if (m_action) {
        checked(table, problem);
    } else if (table.found) {
        m_table = m_reading;
        showTable(table);
        serverCommands->bind(m_table.host, m_table.port, m_table.password);
    } else if (!problem.isEmpty()) {
        showProblem(problem);
        if (outcome.incomplete || outcome.cut)
            grdPlayers->setEnabled(false);  // the last whole table stays, greyed
    }
    if (!m_action && m_checkKick && m_kicked) {
        m_checkKick = false;
        if (!table.found) {
            lblAnswer->found(QStringLiteral("The table could not be read again."));
        } else {
            const PlayerRow& kicked = m_kicked->player;
            const bool there = std::any_of(table.rows.cbegin(), table.rows.cend(),
                [&kicked](const PlayerRow& r) { return r.client == kicked.client && r.name == kicked.name; });
            lblAnswer->found(there ? QStringLiteral("Client %1 (%2) is still on the server.").arg(QString::number(kicked.client), ColourCodes::Strip(kicked.name))
                                   : QStringLiteral("Client %1 is no longer on the server.").arg(kicked.client));
        }
    }
    if (m_askAgain) {
        m_askAgain = false;
        Refresh();
    }
}

QString frmPlayers::readTable(const ExchangeOutcome& outcome, StatusTable* table) const
{
    const ExchangeRequest asked = BoundRequest(m_reading, QStringLiteral("status"), ExchangeRequest::Priority::Automatic);
    if (outcome.kind != ExchangeOutcome::Answered)
        return OutcomeProblem(asked, outcome);
    if (outcome.incomplete || outcome.cut)  // never shown as the table: a part of it is missing
        return AnswerWarning(asked, outcome, LineCase::Window);
    const QString text = StatusReplyText(outcome.datagrams);
    *table = ReadStatusTable(text);
    if (table->found)
        return QString();
    const QString first = text.section(QLatin1Char('\n'), 0, 0).trimmed();
    return first.isEmpty() ? m_reading.text() + QStringLiteral(" sent an answer without a player table.")
                           : m_reading.text() + QStringLiteral(" answered: ") + first;
}

void frmPlayers::choose(const PlayerRow& player, const QString& command, bool sameAddress, const QString& before, const JournalNote& note,
    qint64 durationMs)
{
    if (!m_table.isSet() || command.isEmpty())
        return;
    m_action = Action{m_table, player, command, sameAddress, before, note, durationMs};
    updateActions();  // nothing else is chosen while this one is checked
    if (m_asking) {
        // A refresh in flight read its table before the question was answered: it does
        // not count as the check.
        m_asking->disconnect(this);
        m_asking->cancel();
        m_asking = nullptr;
    }
    Refresh();
}

void frmPlayers::checked(const StatusTable& table, const QString& problem)
{
    const Action action = *m_action;
    m_action.reset();
    if (!table.found) {
        showProblem(sentence(problem.isEmpty() ? QStringLiteral("The table could not be read again") : problem)
            + QStringLiteral(" Nothing was sent."));
        updateActions();
        return;
    }
    m_table = action.server;
    showTable(table);
    const QString change = PlayerChange(action.player, table.rows, action.sameAddress);
    if (!change.isEmpty()) {
        showProblem(change + QStringLiteral(" Nothing was sent."));
        return;
    }
    // The journal keeps who it was for and why; a ban's time runs from now.
    JournalNote note = action.note;
    if (action.durationMs > 0)
        note.expiresAt = QDateTime::currentMSecsSinceEpoch() + action.durationMs;
    if (!action.before.isEmpty()) {
        ExpectNote(action.server.host, action.server.port, action.before, action.note);
        emit commandChosen(action.server.host, action.server.port, action.server.password, action.before);
    }
    ExpectNote(action.server.host, action.server.port, action.command, note);
    emit commandChosen(action.server.host, action.server.port, action.server.password, action.command);
    lblAnswer->sent(action.server.text(), action.command);
    m_checkKick = false;
    m_kicked.reset();
    if (action.command == KickCommand(action.player.client))
        m_kicked = action;
    QTimer::singleShot(RefreshAfterCommandMs, this, &frmPlayers::Refresh);
}

void frmPlayers::showTable(const StatusTable& table)
{
    // The selected player (by client number and name) and the scroll position stay.
    const PlayerRow* selected = SelectedPlayer();
    const int client = selected ? selected->client : -1;
    const QString name = selected ? selected->name : QString();
    const int vertical = grdPlayers->verticalScrollBar()->value();
    const int horizontal = grdPlayers->horizontalScrollBar()->value();

    players->setRows(table.rows);
    for (int c = 0; c < PlayersModel::ColumnCount; ++c) {
        const char* column = serverColumn(c);
        grdPlayers->setColumnHidden(c, column && !table.hasColumn(column));
    }
    for (int r = 0; r < table.rows.size(); ++r) {
        if (table.rows.at(r).client == client && table.rows.at(r).name == name) {
            const QModelIndex at = sortedPlayers->mapFromSource(players->index(r, PlayersModel::Name));
            grdPlayers->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            break;
        }
    }
    grdPlayers->verticalScrollBar()->setValue(vertical);
    grdPlayers->horizontalScrollBar()->setValue(horizontal);
    updateActions();

    int bots = 0;
    int connecting = 0;
    for (const PlayerRow& row : table.rows) {
        bots += row.isBot();
        connecting += row.isConnecting();
    }
    const int people = table.rows.size() - bots;
    QStringList parts;
    if (people > 0 || bots == 0)
        parts << Counted(people, "player", "players") + (connecting > 0 ? QStringLiteral(" (%1 connecting)").arg(connecting) : QString());
    if (bots > 0)
        parts << Counted(bots, "bot", "bots");
    m_tableTime = TimeOfDay();
    QString summary = TableServer();
    if (!table.map.isEmpty())
        summary += QStringLiteral(" \u00b7 map ") + table.map;
    summary += QStringLiteral(" \u00b7 ") + parts.join(QStringLiteral(", "));
    if (table.skipped > 0)
        summary += QStringLiteral(" (%1 unreadable)").arg(Counted(table.skipped, "row", "rows"));
    summary += QStringLiteral(" \u00b7 read at ") + m_tableTime;
    lblSummary->setText(summary);
    lblProblem->clear();
    grdPlayers->setEnabled(true);
}

void frmPlayers::ActionOver(QObject* window, const QString& command, const ExchangeOutcome& outcome)
{
    if (!lblAnswer->unanswered(window, command, outcome))
        return;
    if (!m_kicked) {
        lblAnswer->found(QString());
        return;
    }
    m_checkKick = true;
    Refresh();
}

void frmPlayers::showProblem(const QString& problem)
{
    QString text = sentence(problem);
    if (!m_tableTime.isEmpty())
        text += QStringLiteral("  The table below was read at %1.").arg(m_tableTime);
    lblProblem->setText(text);
}

const PlayerRow* frmPlayers::SelectedPlayer() const
{
    const QModelIndexList rows = grdPlayers->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return nullptr;
    const QModelIndex source = sortedPlayers->mapToSource(rows.first());
    return source.isValid() ? &players->row(source.row()) : nullptr;
}

void frmPlayers::updateActions()
{
    // Only a player of the table on screen, one at a time, and only with a command the
    // server has.
    const PlayerRow* selected = SelectedPlayer();
    const PlayerRow* p = !m_table.isSet() || m_action ? nullptr : selected;
    const bool hasIp = p && !AddressIp(p->address).isEmpty();
    auto offer = [this](QAction* action, QPushButton* button, bool enable, const QString& command) {
        const bool has = command.isEmpty() || serverCommands->has(command);
        action->setEnabled(enable && has);
        const QString tip = has ? QString() : serverCommands->missingText(command);
        action->setToolTip(tip.isEmpty() ? action->text().remove(QLatin1Char('&')) : tip);
        button->setToolTip(tip);
    };
    offer(mnuKick, cmdKick, p, Kick);
    offer(mnuMessage, cmdMessage, p, Tell);
    offer(mnuBan, cmdBan, hasIp, Ban);
    offer(mnuCopyName, cmdCopyName, selected, QString());
    offer(mnuCopyAddress, cmdCopyAddress, selected && !AddressIp(selected->address).isEmpty(), QString());
}

QString frmPlayers::withTableTime(const QString& question) const
{
    QString text = question;
    if (!lblProblem->text().isEmpty())
        text += QStringLiteral("\n\nThe table was read at %1; %2 may have changed since.").arg(m_tableTime, TableServer());
    return text;
}

void frmPlayers::mnuKick_Click()
{
    const PlayerRow* p = SelectedPlayer();
    if (!p || !mnuKick->isEnabled())
        return;
    const PlayerRow player = *p;
    // A reason, when given, is told to the player first where the server has "tell".
    BanChoice choice;
    if (!BanDialog::ask(BanDialog::Kick, this, QStringLiteral("Kick"),
            withTableTime(QStringLiteral("Kick %1 off %2?").arg(describe(player), NamedServer(m_table.host, m_table.port))), {}, &choice))
        return;
    JournalNote note;
    note.name = player.name;
    note.address = AddressIp(player.address);
    note.reason = choice.reason;
    const QString before = choice.reason.isEmpty() || !serverCommands->has(Tell) ? QString() : TellCommand(player.client, choice.reason);
    choose(player, KickCommand(player.client), false, before, note);
}

void frmPlayers::mnuMessage_Click()
{
    const PlayerRow* p = SelectedPlayer();
    if (!p || !mnuMessage->isEnabled())
        return;
    const PlayerRow player = *p;
    QString text;
    if (!MessageBox::askText(this, QStringLiteral("Message to %1 on %2:").arg(describe(player), NamedServer(m_table.host, m_table.port)), QStringLiteral("Message"), &text))
        return;
    JournalNote note;
    note.name = player.name;
    note.address = AddressIp(player.address);
    choose(player, TellCommand(player.client, text), false, QString(), note);
}

void frmPlayers::mnuBan_Click()
{
    const PlayerRow* p = SelectedPlayer();
    const QString ip = p ? AddressIp(p->address) : QString();
    if (ip.isEmpty() || !mnuBan->isEnabled())
        return;
    const PlayerRow player = *p;
    const QString question = QStringLiteral("Ban the address %1 of %2 on %3?\n\nThe server refuses that address from now on; "
                                            "a player already on stays until kicked.").arg(ip, describe(player), NamedServer(m_table.host, m_table.port));
    BanChoice choice;
    choice.address = ip;
    choice.fixedAddress = true;
    if (!BanDialog::ask(BanDialog::Ban, this, QStringLiteral("Ban Address"), withTableTime(question), {}, &choice))
        return;
    JournalNote note;
    note.name = player.name;
    note.address = ip;
    note.reason = choice.reason;
    choose(player, BanCommand(ip), true, QString(), note, choice.durationMs);
}

void frmPlayers::mnuCopyName_Click()
{
    if (const PlayerRow* p = SelectedPlayer())
        QApplication::clipboard()->setText(ColourCodes::Strip(p->name));
}

void frmPlayers::mnuCopyAddress_Click()
{
    if (const PlayerRow* p = SelectedPlayer())
        QApplication::clipboard()->setText(p->address);
}
