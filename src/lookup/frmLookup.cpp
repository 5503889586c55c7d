#include "lookup/frmLookup.h"

#include "console/BanList.h"
#include "console/BanDuration.h"
#include "console/ColourCodes.h"
#include "console/ExchangeObserver.h"
#include "console/ServerAddress.h"
#include "widgets/BoundWindow.h"
#include "memory/MemoryDatabase.h"
#include "memory/Recorder.h"
#include "widgets/BanDialog.h"
#include "console/SendToMany.h"
#include "console/ServerList.h"
#include "console/ServerPasswords.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
QTableWidget* table(QWidget* parent, const char* name, const QString& accessible, const QStringList& headers)
{
    auto* t = new QTableWidget(0, int(headers.size()), parent);
    t->setObjectName(QLatin1String(name));
    t->setAccessibleName(accessible);
    t->setHorizontalHeaderLabels(headers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->verticalHeader()->hide();
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

// One row of plain-text cells (a table cell never reads its text as markup).
void addRow(QTableWidget* t, const QStringList& cells)
{
    const int row = t->rowCount();
    t->insertRow(row);
    for (int c = 0; c < cells.size(); ++c)
        t->setItem(row, c, new QTableWidgetItem(cells[c]));
}

QLabel* caption(const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setBuddy(buddy);
    return l;
}
}

frmLookup::frmLookup(MainWindowBoxReader readBoxes, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_readBoxes(std::move(readBoxes))
    , m_sender(new SendToMany(new ServerPasswords(this), this))
    , m_passwords(new ServerPasswords(this))
{
    setObjectName(QStringLiteral("frmLookup"));
    setWindowTitle(QStringLiteral("Lookup"));
    createControls();
    resize(820, 620);
    connect(m_sender, &SendToMany::serverDone, this, [this](const SendResult& r) {
        lblProblem->setText(QStringLiteral("Ban Address on %1: %2").arg(r.server.shownLabel(), r.outcomeWords()));
        showSelected();
    });
}

void frmLookup::createControls()
{
    auto* layout = new QVBoxLayout(this);
    tabPages = new QTabWidget(this);
    tabPages->setObjectName(QStringLiteral("tabPages"));
    layout->addWidget(tabPages, 1);

    // The players page.
    auto* players = new QWidget(tabPages);
    auto* p = new QVBoxLayout(players);
    auto* search = new QHBoxLayout;
    txtSearch = new QLineEdit(players);
    txtSearch->setObjectName(QStringLiteral("txtSearch"));
    txtSearch->setPlaceholderText(QStringLiteral("a name, an address, or a prefix: 203.0.113. or 203.0.113.0/24"));
    search->addWidget(caption(QStringLiteral("&Search:"), txtSearch, players));
    search->addWidget(txtSearch, 1);
    cmdFind = new QPushButton(QStringLiteral("&Find"), players);
    cmdFind->setObjectName(QStringLiteral("cmdFind"));
    search->addWidget(cmdFind);
    p->addLayout(search);
    lblFound = AddInfoLine(players, p, "lblFound");
    grdPlayers = table(players, "grdPlayers", QStringLiteral("Players found"),
        {QStringLiteral("Name"), QStringLiteral("Addresses"), QStringLiteral("Servers"), QStringLiteral("First seen"),
            QStringLiteral("Last seen"), QStringLiteral("Sessions"), QStringLiteral("Time played")});
    p->addWidget(grdPlayers, 2);
    auto* details = new QTabWidget(players);
    details->setObjectName(QStringLiteral("tabDetails"));
    grdAliases = table(details, "grdAliases", QStringLiteral("Aliases"),
        {QStringLiteral("Name"), QStringLiteral("Address"), QStringLiteral("First seen"), QStringLiteral("Last seen")});
    grdSessions = table(details, "grdSessions", QStringLiteral("Sessions"),
        {QStringLiteral("Server"), QStringLiteral("Name"), QStringLiteral("Address"), QStringLiteral("Client"), QStringLiteral("From"),
            QStringLiteral("To")});
    grdJournal = table(details, "grdJournal", QStringLiteral("Journal"),
        {QStringLiteral("Time"), QStringLiteral("Server"), QStringLiteral("Admin"), QStringLiteral("Outcome"), QStringLiteral("Command"),
            QStringLiteral("Reason")});
    details->addTab(grdAliases, QStringLiteral("&Aliases"));
    details->addTab(grdSessions, QStringLiteral("Sessio&ns"));
    details->addTab(grdJournal, QStringLiteral("&Journal"));
    p->addWidget(details, 2);
    auto* actions = new QHBoxLayout;
    cmdBanAddress = new QPushButton(QStringLiteral("&Ban Address..."), players);
    cmdBanAddress->setObjectName(QStringLiteral("cmdBanAddress"));
    cmdCopyAddress = new QPushButton(QStringLiteral("&Copy Address"), players);
    cmdCopyAddress->setObjectName(QStringLiteral("cmdCopyAddress"));
    actions->addWidget(cmdBanAddress);
    actions->addWidget(cmdCopyAddress);
    actions->addStretch(1);
    p->addLayout(actions);
    lblProblem = AddInfoLine(players, p, "lblProblem");
    tabPages->addTab(players, QStringLiteral("&Players"));

    // The sessions of one server in a time range.
    auto* sessions = new QWidget(tabPages);
    auto* s = new QVBoxLayout(sessions);
    auto* range = new QHBoxLayout;
    cboServer = new QComboBox(sessions);
    cboServer->setObjectName(QStringLiteral("cboServer"));
    cboServer->setEditable(true);
    cboServer->setMinimumContentsLength(24);
    dtFrom = new QDateTimeEdit(QDateTime::currentDateTime().addSecs(-3600), sessions);
    dtFrom->setObjectName(QStringLiteral("dtFrom"));
    dtFrom->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    dtTo = new QDateTimeEdit(QDateTime::currentDateTime(), sessions);
    dtTo->setObjectName(QStringLiteral("dtTo"));
    dtTo->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    cmdShow = new QPushButton(QStringLiteral("S&how"), sessions);
    cmdShow->setObjectName(QStringLiteral("cmdShow"));
    range->addWidget(caption(QStringLiteral("Ser&ver:"), cboServer, sessions));
    range->addWidget(cboServer, 1);
    range->addWidget(caption(QStringLiteral("Fr&om:"), dtFrom, sessions));
    range->addWidget(dtFrom);
    range->addWidget(caption(QStringLiteral("&To:"), dtTo, sessions));
    range->addWidget(dtTo);
    range->addWidget(cmdShow);
    s->addLayout(range);
    grdServerSessions = table(sessions, "grdServerSessions", QStringLiteral("Sessions on the server"),
        {QStringLiteral("Name"), QStringLiteral("Address"), QStringLiteral("Client"), QStringLiteral("From"), QStringLiteral("To")});
    s->addWidget(grdServerSessions, 1);
    tabPages->addTab(sessions, QStringLiteral("Sessions on a Se&rver"));

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    cmdClose = new QPushButton(QStringLiteral("C&lose"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    bottom->addWidget(cmdClose);
    layout->addLayout(bottom);

    connect(txtSearch, &QLineEdit::returnPressed, this, &frmLookup::Find);
    connect(cmdFind, &QPushButton::clicked, this, &frmLookup::Find);
    connect(grdPlayers, &QTableWidget::itemSelectionChanged, this, &frmLookup::showSelected);
    connect(cmdBanAddress, &QPushButton::clicked, this, &frmLookup::cmdBanAddress_Click);
    connect(cmdCopyAddress, &QPushButton::clicked, this, &frmLookup::cmdCopyAddress_Click);
    connect(cmdShow, &QPushButton::clicked, this, &frmLookup::ShowServerSessions);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(tabPages, &QTabWidget::currentChanged, this, [this] {
        const QString typed = cboServer->currentText();
        cboServer->clear();
        cboServer->addItems(Memory::ServersSeen());
        cboServer->setCurrentText(typed.isEmpty() && cboServer->count() ? cboServer->itemText(0) : typed);
    });
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this, &QWidget::close);
    showSelected();
}

void frmLookup::Find()
{
    const QString text = txtSearch->text().trimmed();
    m_found = Memory::IsOpen() ? Memory::Find(text) : QList<Memory::PlayerFound>();
    grdPlayers->setRowCount(0);
    for (const Memory::PlayerFound& f : m_found) {
        addRow(grdPlayers, {f.name, f.addresses.join(QStringLiteral(", ")), f.servers.join(QStringLiteral(", ")), Memory::TimeText(f.firstSeen),
            Memory::TimeText(f.lastSeen), QString::number(f.sessions), Memory::PlayedText(f.playedMs)});
    }
    grdPlayers->resizeColumnsToContents();
    if (!Memory::IsOpen())
        lblFound->setText(QStringLiteral("The memory of players is not open: nothing to search."));
    else if (text.isEmpty())
        lblFound->setText(QString());
    else
        lblFound->setText(m_found.isEmpty() ? QStringLiteral("No player found.") : QStringLiteral("%1 found, latest seen first.").arg(m_found.size()));
    // A team database away, or records not yet sent to it: what it answers may lack them.
    const QString away = Memory::TeamStateLine(Recorder::TeamStatus());
    if (Memory::IsOpen() && !away.isEmpty())
        lblFound->setText(lblFound->text() + (lblFound->text().isEmpty() ? QString() : QStringLiteral(" ")) + QStringLiteral("Results may be incomplete: %1.").arg(away));
    if (!m_found.isEmpty())
        grdPlayers->selectRow(0);
    showSelected();
}

const Memory::PlayerFound* frmLookup::selected() const
{
    const QList<QTableWidgetItem*> items = grdPlayers->selectedItems();
    const int row = items.isEmpty() ? -1 : items.first()->row();
    return row >= 0 && row < m_found.size() ? &m_found[row] : nullptr;
}

QString frmLookup::selectedAddress() const
{
    const QList<QTableWidgetItem*> alias = grdAliases->selectedItems();
    if (!alias.isEmpty() && alias.first()->row() < m_aliases.size())
        return m_aliases[alias.first()->row()].address;
    const Memory::PlayerFound* p = selected();
    return p && !p->addresses.isEmpty() ? p->addresses.first() : QString();
}

void frmLookup::showSelected()
{
    const Memory::PlayerFound* p = selected();
    grdAliases->setRowCount(0);
    grdSessions->setRowCount(0);
    grdJournal->setRowCount(0);
    m_aliases.clear();
    if (p) {
        m_aliases = Memory::AliasesOf(p->nameId);
        for (const Memory::Alias& a : m_aliases)
            addRow(grdAliases, {a.name, a.address, Memory::TimeText(a.firstSeen), Memory::TimeText(a.lastSeen)});
        for (const Memory::Session& s : Memory::SessionsOf(p->nameId)) {
            addRow(grdSessions, {s.server, s.name, s.address, s.client >= 0 ? QString::number(s.client) : QString(), Memory::TimeText(s.firstSeen),
                s.open ? QStringLiteral("now") : Memory::TimeText(s.lastSeen)});
        }
        for (const Memory::JournalEntry& e : Memory::JournalAbout(p->nameId))
            addRow(grdJournal, {Memory::TimeText(e.time), e.server, e.admin, e.outcome, e.command, e.reason});
    }
    cmdBanAddress->setEnabled(!selectedAddress().isEmpty());
    cmdCopyAddress->setEnabled(!selectedAddress().isEmpty());
}

void frmLookup::cmdCopyAddress_Click()
{
    const QString address = selectedAddress();
    if (!address.isEmpty())
        QApplication::clipboard()->setText(address);
}

void frmLookup::cmdBanAddress_Click()
{
    const Memory::PlayerFound* p = selected();
    const QString address = selectedAddress();
    if (!p || address.isEmpty())
        return;
    // Where: the server the player was seen on last, a group of the saved servers, or all.
    QString lastServer;
    qint64 last = -1;
    for (const Memory::Session& s : Memory::SessionsOf(p->nameId)) {
        if (s.lastSeen > last) {
            last = s.lastSeen;
            lastServer = s.server;
        }
    }
    const QList<SavedServer> saved = LoadServerList().servers;
    const QStringList groups = ServerGroups(saved);
    QStringList where;
    if (!lastServer.isEmpty())
        where << QStringLiteral("Its server, %1").arg(lastServer);
    for (const QString& g : groups)
        where << QStringLiteral("The group %1").arg(g);
    if (!saved.isEmpty())
        where << QStringLiteral("Every saved server");
    if (where.isEmpty())
        return;
    BanChoice choice;
    choice.address = address;
    const QString prompt = QStringLiteral("Ban the address of %1:").arg(ColourCodes::Strip(p->name));
    if (!BanDialog::ask(BanDialog::Ban, this, QStringLiteral("Ban Address"), prompt, where, &choice))
        return;
    const QString command = AddCommand(BanEntry::Ban, choice.address);
    if (command.isEmpty()) {
        lblProblem->setText(QStringLiteral("That is not an IPv4 or IPv6 address with an optional /prefix. Nothing was sent."));
        return;
    }
    QList<SavedServer> targets;
    const int offset = lastServer.isEmpty() ? 0 : 1;
    if (choice.where < offset) {
        const ServerAddress a = SplitServerAddress(lastServer);
        const int index = IndexOfServer(saved, a.host, a.port.toInt());
        SavedServer s;
        s.host = a.host;
        s.port = a.port.toInt();
        targets.append(index >= 0 ? saved[index] : s);
    } else if (choice.where - offset < groups.size()) {
        targets = ServersOfGroup(saved, groups[choice.where - offset]);
    } else {
        targets = saved;
    }
    JournalNote note;
    note.name = p->name;
    note.address = Memory::BanTarget(choice.address);
    note.reason = choice.reason;
    note.expiresAt = choice.durationMs > 0 ? Memory::Now() + choice.durationMs : 0;
    for (const SavedServer& s : targets)
        ExpectNote(s.host, s.port, command, note);
    lblProblem->setText(QStringLiteral("Banning %1 on %2 server(s) (%3)...").arg(choice.address, QString::number(targets.size()), BanDurationText(choice.durationMs)));

    // A server the main window's boxes name goes with the boxes' password; the others with
    // their saved ones.
    QString problem;
    const BoundServer boxes = m_readBoxes ? ReadBoundServer(m_readBoxes(), &problem) : BoundServer();
    QList<SavedServer> withSaved;
    for (const SavedServer& s : targets) {
        if (boxes.isSet() && boxes.sameServer(BoundServer{s.host, s.port, QString()})) {
            ServerExchange* e = ServerExchange::ask(BoundRequest(boxes, command, ExchangeRequest::Priority::Typed), this);
            connect(e, &ServerExchange::finished, this, [this, s](const ExchangeOutcome& outcome) {
                lblProblem->setText(QStringLiteral("Ban Address on %1: %2").arg(s.shownLabel(), ExchangeOutcome::words(outcome.kind)));
                showSelected();
            });
        } else {
            withSaved.append(s);
        }
    }
    if (!withSaved.isEmpty())
        m_sender->start(withSaved, command, false);
}

void frmLookup::ShowServerSessions()
{
    const ServerAddress a = SplitServerAddress(cboServer->currentText().trimmed());
    const QString server = Memory::ServerKey(a.host, a.port.isEmpty() ? 27960 : a.port.toInt());
    grdServerSessions->setRowCount(0);
    for (const Memory::Session& s : Memory::SessionsOn(server, dtFrom->dateTime().toMSecsSinceEpoch(), dtTo->dateTime().toMSecsSinceEpoch())) {
        addRow(grdServerSessions, {s.name, s.address, s.client >= 0 ? QString::number(s.client) : QString(), Memory::TimeText(s.firstSeen),
            s.open ? QStringLiteral("now") : Memory::TimeText(s.lastSeen)});
    }
    grdServerSessions->resizeColumnsToContents();
}
