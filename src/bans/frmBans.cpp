#include "bans/frmBans.h"

#include "completion/ServerCommands.h"
#include "console/ExchangeObserver.h"
#include "console/ServerList.h"
#include "memory/MemoryDatabase.h"
#include "memory/Queries.h"
#include "memory/Recorder.h"
#include "widgets/BanDialog.h"
#include "widgets/BoundWindow.h"
#include "console/NoAnswerLine.h"
#include "widgets/MessageBox.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QShowEvent>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// After a command, the server's list has changed by the time of the next request.
constexpr int ReadAfterCommandMs = 1000;

const QStringList BanCommands = {QStringLiteral("listbans"), QStringLiteral("banaddr"), QStringLiteral("bandel"),
    QStringLiteral("exceptaddr"), QStringLiteral("exceptdel"), QStringLiteral("flushbans")};

QString describe(const BanEntry& e)
{
    return (e.kind == BanEntry::Ban ? QStringLiteral("ban on ") : QStringLiteral("exception for ")) + e.target();
}

bool changesBans(const QString& command)
{
    const QString word = command.section(QLatin1Char(' '), 0, 0).toLower();
    return word != QLatin1String("listbans") && BanCommands.contains(word);
}
}

frmBans::frmBans(MainWindowBoxReader readBoxes, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_readBoxes(std::move(readBoxes))
{
    setObjectName(QStringLiteral("frmBans"));
    setWindowTitle(QStringLiteral("Bans"));
    createControls();
    resize(520, 400);
}

void frmBans::createControls()
{
    auto* layout = new QVBoxLayout(this);
    lblServer = AddInfoLine(this, layout, "lblServer");
    lblServer->setText(QStringLiteral("No list read yet."));
    lblProblem = AddInfoLine(this, layout, "lblProblem");
    MakeProblemLine(lblProblem);

    grdBans = new QTableWidget(0, ColumnCount, this);
    grdBans->setObjectName(QStringLiteral("grdBans"));
    grdBans->setAccessibleName(QStringLiteral("Bans and exceptions"));
    grdBans->setHorizontalHeaderLabels({QStringLiteral("Kind"), QStringLiteral("Number"), QStringLiteral("Address"), QStringLiteral("Prefix"),
        QStringLiteral("Reason"), QStringLiteral("Admin"), QStringLiteral("Expires")});
    grdBans->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdBans->setSelectionMode(QAbstractItemView::SingleSelection);
    grdBans->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdBans->setSortingEnabled(true);
    grdBans->setTabKeyNavigation(false);  // Tab leaves the table; the arrows move in it
    grdBans->verticalHeader()->hide();
    grdBans->horizontalHeader()->setSectionResizeMode(Address, QHeaderView::Stretch);
    grdBans->sortByColumn(Kind, Qt::AscendingOrder);  // bans, then exceptions, each in the server's order
    layout->addWidget(grdBans, 1);

    auto* buttons = new QHBoxLayout;
    auto button = [this, &buttons](const char* name, const QString& caption, void (frmBans::*handler)()) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, handler);
        buttons->addWidget(b);
        return b;
    };
    cmdRemove = button("cmdRemove", QStringLiteral("&Remove"), &frmBans::cmdRemove_Click);
    cmdBanAddress = button("cmdBanAddress", QStringLiteral("&Ban Address..."), &frmBans::cmdBanAddress_Click);
    cmdAddException = button("cmdAddException", QStringLiteral("Add &Exception..."), &frmBans::cmdAddException_Click);
    cmdFlushAll = button("cmdFlushAll", QStringLiteral("&Flush All"), &frmBans::cmdFlushAll_Click);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    lblAnswer = new AnswerLine(this, "lblAnswer");
    layout->addWidget(lblAnswer);
    buttons = new QHBoxLayout;
    cmdRefresh = button("cmdRefresh", QStringLiteral("Refre&sh"), &frmBans::Refresh);
    buttons->addStretch(1);
    cmdClose = button("cmdClose", QStringLiteral("C&lose"), nullptr);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    layout->addLayout(buttons);

    serverCommands = new ServerCommands(this);
    connect(serverCommands, &ServerCommands::changed, this, [this] {
        if (m_afterCommands) {
            const auto then = std::exchange(m_afterCommands, nullptr);
            if (serverCommands->known()) {
                readList(false, then);
            } else {  // read again at the next refresh
                showProblem(serverCommands->missingText(QStringLiteral("listbans")));
                then(false);
            }
        }
        updateActions();
    });
    connect(grdBans, &QTableWidget::itemSelectionChanged, this, &frmBans::updateActions);
    // A ban placed from here is in the memory once its answer is over: its reason shows then.
    connect(Recorder::Signals(), &RecorderSignals::written, this, [this] {
        if (m_read && isVisible())
            showKnown(m_entries);
    });
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this, &QWidget::close);
    updateActions();
}

void frmBans::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        Refresh();
}

void frmBans::Refresh()
{
    const BoundServer boxes = ReadBoxesForRefresh(this, m_readBoxes, lblProblem);
    if (!boxes.isSet())
        return;
    if (!boxes.sameServer(m_server) || boxes.password != m_server.password) {
        if (!boxes.sameServer(m_server)) {
            m_read = false;
            showList({});
        }
        m_server = boxes;
        ++m_generation;
    }
    serverCommands->bind(m_server.host, m_server.port, m_server.password);  // asked again after a failure
    readList(false, nullptr);
}

void frmBans::CommandSent(const QString& host, int port, const QString& command)
{
    if (isVisible() && changesBans(command) && m_server.sameServer(BoundServer{host, port, QString()}))
        QTimer::singleShot(ReadAfterCommandMs, this, &frmBans::Refresh);
}

void frmBans::readList(bool typed, const std::function<void(bool)>& then)
{
    if (!serverCommands->known()) {
        // Read once the server's commands are known.
        m_afterCommands = then ? then : [](bool) {};
        return;
    }
    const BoundServer server = m_server;
    int missing = 0;
    for (const QString& c : BanCommands)
        missing += !serverCommands->has(c);
    if (!serverCommands->has(QStringLiteral("listbans"))) {
        m_read = false;
        showList({});
        grdBans->hide();
        showProblem(missing == BanCommands.size()
                ? QStringLiteral("%1 has none of the ban commands (listbans, banaddr, bandel, exceptaddr, exceptdel, flushbans).").arg(server.text())
                : QStringLiteral("%1 has no \"listbans\" command: its bans cannot be listed.").arg(server.text()));
        if (then)
            then(false);
        return;
    }
    grdBans->show();
    const int generation = m_generation;
    const ExchangeRequest request = BoundRequest(server, QStringLiteral("listbans"),
        typed ? ExchangeRequest::Priority::Typed : ExchangeRequest::Priority::Automatic);
    connect(ServerExchange::ask(request, this), &ServerExchange::finished, this, [=](const ExchangeOutcome& outcome) {
        if (generation != m_generation)
            return;
        const bool answered = outcome.kind == ExchangeOutcome::Answered && !outcome.incomplete && !outcome.cut;
        if (answered) {
            m_read = true;
            showList(ReadBanList(outcome.text));
            lblProblem->clear();
        } else if (outcome.kind == ExchangeOutcome::Answered) {
            // Never shown as the list: the last whole one stays, greyed.
            showProblem(AnswerWarning(request, outcome, LineCase::Window));
            grdBans->setEnabled(false);
        } else if (outcome.kind != ExchangeOutcome::Skipped && outcome.kind != ExchangeOutcome::Cancelled) {
            showProblem(OutcomeProblem(request, outcome));
        }
        if (then)
            then(answered);
    });
}

void frmBans::showKnown(const QList<BanEntry>& entries)
{
    // What the memory knows of the bans listed: reason, admin, expiry. A ban it holds as
    // standing that the server no longer lists was lifted by someone else (one placed a moment
    // ago may not be in a list read before it).
    const QString server = Memory::ServerKey(m_server.host, m_server.port);
    QHash<QString, Memory::Ban> known;
    for (const Memory::Ban& b : Memory::BansOn(server)) {
        if (!b.lifted)
            known.insert(b.target, b);
    }
    const bool sorting = grdBans->isSortingEnabled();
    grdBans->setSortingEnabled(false);
    for (int row = 0; row < grdBans->rowCount(); ++row) {
        const QTableWidgetItem* kind = grdBans->item(row, Kind);
        const int index = kind ? kind->data(Qt::UserRole).toInt() : -1;
        const BanEntry e = index >= 0 && index < entries.size() ? entries.at(index) : BanEntry();
        const Memory::Ban b = e.kind == BanEntry::Ban ? known.take(e.target()) : Memory::Ban();
        grdBans->setItem(row, Reason, new QTableWidgetItem(b.reason));
        grdBans->setItem(row, Admin, new QTableWidgetItem(b.admin));
        grdBans->setItem(row, Expires, new QTableWidgetItem(b.id == 0 ? QString() : b.expires > 0 ? Memory::TimeText(b.expires) : QStringLiteral("never")));
    }
    grdBans->setSortingEnabled(sorting);
    const qint64 settled = Memory::Now() - 10000;
    for (const Memory::Ban& b : std::as_const(known)) {
        if (!m_read || b.created > settled)
            continue;
        Recorder::MarkLiftedElsewhere(b.id);
    }
}

void frmBans::showList(const QList<BanEntry>& entries)
{
    const BanEntry* selected = SelectedEntry();
    const BanEntry keep = selected ? *selected : BanEntry();
    m_entries = entries;
    grdBans->setEnabled(true);
    grdBans->setSortingEnabled(false);
    grdBans->clearContents();
    grdBans->setRowCount(entries.size());
    int reselect = -1;
    for (int r = 0; r < entries.size(); ++r) {
        const BanEntry& e = entries.at(r);
        auto* kind = new QTableWidgetItem(e.kind == BanEntry::Ban ? QStringLiteral("Ban") : QStringLiteral("Exception"));
        kind->setData(Qt::UserRole, r);
        grdBans->setItem(r, Kind, kind);
        auto* number = new QTableWidgetItem;
        number->setData(Qt::DisplayRole, e.number);
        grdBans->setItem(r, Number, number);
        grdBans->setItem(r, Address, new QTableWidgetItem(e.address));
        auto* prefix = new QTableWidgetItem;
        prefix->setData(Qt::DisplayRole, e.prefix);
        grdBans->setItem(r, Prefix, prefix);
        if (selected && e.sameAs(keep))
            reselect = r;
    }
    showKnown(entries);
    grdBans->setSortingEnabled(true);
    if (reselect >= 0) {
        for (int row = 0; row < grdBans->rowCount(); ++row)
            if (grdBans->item(row, Kind)->data(Qt::UserRole).toInt() == reselect)
                grdBans->selectRow(row);
    }
    int bans = 0;
    for (const BanEntry& e : entries)
        bans += e.kind == BanEntry::Ban;
    if (m_server.isSet())
        lblServer->setText(m_read ? QStringLiteral("%1 \u00b7 %2, %3").arg(m_server.text(), Counted(bans, "ban", "bans"),
                                        Counted(entries.size() - bans, "exception", "exceptions"))
                                  : m_server.text());
    updateActions();
}

void frmBans::showProblem(const QString& problem)
{
    lblProblem->setText(problem);
}

const BanEntry* frmBans::SelectedEntry() const
{
    const QList<QTableWidgetItem*> items = grdBans->selectedItems();
    for (const QTableWidgetItem* item : items) {
        if (item->column() == Kind) {
            const int at = item->data(Qt::UserRole).toInt();
            return at >= 0 && at < m_entries.size() ? &m_entries.at(at) : nullptr;
        }
    }
    return nullptr;
}

void frmBans::updateActions()
{
    const BanEntry* selected = SelectedEntry();
    auto set = [this](QPushButton* button, bool enable, const QString& command, const QString& why) {
        const bool has = serverCommands->has(command);
        button->setEnabled(m_read && enable && has);
        button->setToolTip(!has ? serverCommands->missingText(command).toHtmlEscaped()
                                : !m_read ? QStringLiteral("Waiting for the server's list.") : enable ? QString() : why);
    };
    set(cmdRemove, selected != nullptr, RemoveCommandName(selected ? selected->kind : BanEntry::Ban), QStringLiteral("Select an entry first."));
    set(cmdBanAddress, true, AddCommandName(BanEntry::Ban), QString());
    set(cmdAddException, true, AddCommandName(BanEntry::Exception), QString());
    set(cmdFlushAll, !m_entries.isEmpty(), QStringLiteral("flushbans"), QStringLiteral("The list is empty."));
}

void frmBans::send(const QString& command)
{
    emit commandForServer(m_server.host, m_server.port, m_server.password, command);
    lblAnswer->sent(m_server.text(), command);
    const int generation = m_generation;
    QTimer::singleShot(ReadAfterCommandMs, this, [this, generation] {
        if (generation == m_generation && isVisible())
            readList(false, nullptr);
    });
}

void frmBans::cmdRemove_Click()
{
    const BanEntry* selected = SelectedEntry();
    if (!selected || !cmdRemove->isEnabled())
        return;
    const BanEntry entry = *selected;
    if (!ConfirmAction(this, QStringLiteral("Remove the %1 from %2?").arg(describe(entry), NamedServer(m_server.host, m_server.port)), QStringLiteral("Remove")))
        return;
    // The numbers shift with every removal, here or by anyone else: the list is read again,
    // and the entry goes by its address, only while it is still there.
    const int generation = m_generation;
    readList(true, [this, entry, generation](bool read) {
        if (!read || generation != m_generation)
            return;
        for (const BanEntry& e : m_entries) {
            if (e.sameAs(entry)) {
                send(RemoveCommand(e));
                return;
            }
        }
        showProblem(QStringLiteral("The %1 is no longer on the list of %2. Nothing was sent.").arg(describe(entry), m_server.text()));
    });
}

void frmBans::ActionOver(QObject* window, const QString& command, const ExchangeOutcome& outcome)
{
    if (!lblAnswer->unanswered(window, command, outcome) || !isVisible())
        return;
    readList(false, [this](bool answered) {
        int bans = 0;
        for (const BanEntry& e : std::as_const(m_entries))
            bans += e.kind == BanEntry::Ban;
        lblAnswer->found(answered ? QStringLiteral("The list now has %1 and %2.")
                                        .arg(Counted(bans, "ban", "bans"), Counted(m_entries.size() - bans, "exception", "exceptions"))
                                  : QStringLiteral("The list could not be read again."));
    });
}

void frmBans::add(BanEntry::Kind kind)
{
    const bool ban = kind == BanEntry::Ban;
    QString typed;
    const QString prompt = QStringLiteral("%1 on %2 (IPv4 or IPv6; a network with its prefix length, as 203.0.113.0/24):")
                               .arg(ban ? QStringLiteral("Address to ban") : QStringLiteral("Address to let in despite the bans"),
                                   NamedServer(m_server.host, m_server.port));
    auto refusal = [kind](const QString& text) {
        return AddCommand(kind, text).isEmpty() ? QStringLiteral("That is not an IPv4 or IPv6 address with an optional /prefix "
                                                                 "(0 to 32 for IPv4, 0 to 128 for IPv6).")
                                                : QString();
    };
    if (!ban) {
        if (MessageBox::askText(this, prompt, QStringLiteral("Add Exception"), &typed, refusal))
            send(AddCommand(kind, typed));
        return;
    }
    // A ban also has a reason and a duration, for the journal and for its lifting.
    BanChoice choice;
    if (!BanDialog::ask(BanDialog::Ban, this, QStringLiteral("Ban Address"), prompt, {}, &choice, refusal))
        return;
    const QString command = AddCommand(kind, choice.address);
    JournalNote note;
    note.address = choice.address.trimmed();
    note.reason = choice.reason;
    note.expiresAt = choice.durationMs > 0 ? QDateTime::currentMSecsSinceEpoch() + choice.durationMs : 0;
    ExpectNote(m_server.host, m_server.port, command, note);
    send(command);
}

void frmBans::cmdBanAddress_Click()
{
    if (cmdBanAddress->isEnabled())
        add(BanEntry::Ban);
}

void frmBans::cmdAddException_Click()
{
    if (cmdAddException->isEnabled())
        add(BanEntry::Exception);
}

void frmBans::cmdFlushAll_Click()
{
    if (!cmdFlushAll->isEnabled())
        return;
    int bans = 0;
    for (const BanEntry& e : m_entries)
        bans += e.kind == BanEntry::Ban;
    const QString question = QStringLiteral("Remove everything from the ban list of %1: %2 and %3?")
                                 .arg(NamedServer(m_server.host, m_server.port), Counted(bans, "ban", "bans"), Counted(m_entries.size() - bans, "exception", "exceptions"));
    if (ConfirmAction(this, question, QStringLiteral("Flush All")))
        send(QStringLiteral("flushbans"));
}
