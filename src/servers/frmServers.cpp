#include "servers/frmServers.h"

#include "console/ColourCodes.h"
#include "widgets/OutputPane.h"
#include "console/RconDatagram.h"
#include "console/ServerAddress.h"
#include "settings/Shutdown.h"
#include "console/TimeOfDay.h"
#include "widgets/NameDelegate.h"
#include "console/SendToMany.h"
#include "servers/ServerForm.h"
#include "console/ServerPasswords.h"
#include "servers/ServerPoller.h"
#include "servers/ServersModel.h"
#include "settings/PasswordVault.h"
#include "settings/SettingsStore.h"
#include "settings/UserDataFolder.h"
#include "widgets/Fonts.h"
#include "widgets/MessageBox.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

namespace {
// The first two entries of the Send to box; the groups follow.
enum SendTo { SelectedServers, AllServers, FirstGroup };

// What the kept column widths begin with: the number of columns they are for.
QString ColumnsTag()
{
    return QString::number(ServersModel::ColumnCount) + QLatin1Char(':');
}

// A caption for a box beside it: plain text, as every label of the program.
QLabel* caption(const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setBuddy(buddy);
    return label;
}
}

frmServers::frmServers(MainWindowLink link, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_link(std::move(link))
{
    setObjectName(QStringLiteral("frmServers"));
    setWindowTitle(QStringLiteral("Servers"));
    passwords = new ServerPasswords(this);
    sender = new SendToMany(passwords, this);
    poller = new ServerPoller(this);
    createControls();

    const LoadedServerList loaded = LoadServerList();
    m_mayWrite = loaded.mayWrite;
    if (!loaded.notice.isEmpty())
        addNotice(loaded.notice);
    setList(loaded.servers);

    if (!restoreGeometry(QByteArray::fromBase64(GetProgramSetting(Key::ServersGeometry).toLatin1())))
        resize(1040, 560);  // every column, "Last answer" included
    QHeaderView* header = grdServers->horizontalHeader();
    // The columns are kept with their count: a table of other columns (before the Group
    // column came) would hand its widths and sort order to the wrong ones.
    const QString columns = GetProgramSetting(Key::ServersColumns);
    if (columns.startsWith(ColumnsTag()))
        header->restoreState(QByteArray::fromBase64(columns.mid(ColumnsTag().size()).toLatin1()));
    grdServers->sortByColumn(header->sortIndicatorSection(), header->sortIndicatorOrder());
    splitter->restoreState(QByteArray::fromBase64(GetProgramSetting(Key::ServersSplitter).toLatin1()));
    bool ok = false;
    const int seconds = GetProgramSetting(Key::ServersPollSeconds, Default::ServersPollSeconds).trimmed().toInt(&ok);
    txtPollSeconds->setValue(ok && seconds >= txtPollSeconds->minimum() && seconds <= txtPollSeconds->maximum()
            ? seconds : Default::ServersPollSeconds.toInt());
    txtResults->setShowColours(GetProgramSetting(Key::ShowColours, Default::ShowColours) != QLatin1String("0"));

    connect(txtPollSeconds, &QSpinBox::valueChanged, this, &frmServers::restartPolling);
    // Said as the window opens where the session has no keyring service at all (asked of the
    // session bus, which never prompts), and when a keyring job finds none.
    auto noKeyring = [this] {
        addNotice(QStringLiteral("No keyring service was found: the passwords of these servers are kept in memory "
                                 "only, until the program ends."));
    };
    if (!PasswordVault::KeyringServiceExists())
        noKeyring();
    connect(passwords, &ServerPasswords::noKeyring, this, noKeyring);
    connect(poller, &ServerPoller::updated, servers, &ServersModel::setState);
    connect(sender, &SendToMany::serverDone, this, &frmServers::showResult);
}

frmServers::~frmServers()
{
    // The program may end with this window open: it goes with the main window, unhidden.
    if (isVisible())
        saveSettings();
}

void frmServers::createControls()
{
    auto* layout = new QVBoxLayout(this);
    lblNotice = new QLabel(this);
    lblNotice->setObjectName(QStringLiteral("lblNotice"));
    lblNotice->setTextFormat(Qt::PlainText);
    lblNotice->setWordWrap(true);
    lblNotice->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPalette warning = lblNotice->palette();
    warning.setColor(QPalette::WindowText, QColor(176, 0, 0));
    lblNotice->setPalette(warning);
    lblNotice->hide();
    layout->addWidget(lblNotice);

    auto* top = new QHBoxLayout;
    auto button = [this](QBoxLayout* row, const char* name, const QString& caption, void (frmServers::*handler)()) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, handler);
        row->addWidget(b);
        return b;
    };
    cmdAddCurrent = button(top, "cmdAddCurrent", QStringLiteral("Add &Current Server"), &frmServers::cmdAddCurrent_Click);
    cmdAdd = button(top, "cmdAdd", QStringLiteral("&Add..."), &frmServers::cmdAdd_Click);
    cmdEdit = button(top, "cmdEdit", QStringLiteral("&Edit..."), &frmServers::cmdEdit_Click);
    cmdRemove = button(top, "cmdRemove", QStringLiteral("&Remove"), &frmServers::cmdRemove_Click);
    top->addStretch(1);
    txtPollSeconds = new QSpinBox(this);
    txtPollSeconds->setObjectName(QStringLiteral("txtPollSeconds"));
    txtPollSeconds->setRange(2, 3600);
    txtPollSeconds->setSuffix(QStringLiteral(" s"));
    txtPollSeconds->setAccessibleName(QStringLiteral("Poll every (seconds)"));
    txtPollSeconds->setToolTip(QStringLiteral("Seconds between two status queries to each server, while this window is open"));
    top->addWidget(caption(QStringLiteral("Poll e&very"), txtPollSeconds, this));
    top->addWidget(txtPollSeconds);
    layout->addLayout(top);

    servers = new ServersModel(this);
    sortedServers = new QSortFilterProxyModel(this);
    sortedServers->setSourceModel(servers);
    sortedServers->setSortRole(ServersModel::SortRole);
    grdServers = new QTableView(this);
    grdServers->setObjectName(QStringLiteral("grdServers"));
    grdServers->setAccessibleName(QStringLiteral("Servers"));
    grdServers->setModel(sortedServers);
    grdServers->setItemDelegateForColumn(ServersModel::HostName, new NameDelegate(ServersModel::HostNameWithCodesRole, grdServers));
    grdServers->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdServers->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grdServers->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdServers->setWordWrap(false);
    grdServers->setSortingEnabled(true);
    grdServers->setTabKeyNavigation(false);  // Tab leaves the table; the arrows move in it
    grdServers->verticalHeader()->hide();
    grdServers->verticalHeader()->setDefaultSectionSize(grdServers->fontMetrics().height() + 8);
    QHeaderView* header = grdServers->horizontalHeader();
    header->setSortIndicator(ServersModel::Label, Qt::AscendingOrder);
    header->setStretchLastSection(true);
    const int widths[ServersModel::ColumnCount] = {130, 140, 80, 200, 80, 110, 80, 50, 120};
    for (int c = 0; c < ServersModel::ColumnCount; ++c)
        header->resizeSection(c, widths[c]);

    auto* lower = new QWidget(this);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    auto* sendRow = new QHBoxLayout;
    cboSendTo = new QComboBox(this);
    cboSendTo->setObjectName(QStringLiteral("cboSendTo"));
    sendRow->addWidget(caption(QStringLiteral("Send &to:"), cboSendTo, this));
    sendRow->addWidget(cboSendTo);
    txtCommand = new QLineEdit(this);
    txtCommand->setObjectName(QStringLiteral("txtCommand"));
    sendRow->addWidget(caption(QStringLiteral("Co&mmand:"), txtCommand, this));
    sendRow->addWidget(txtCommand, 1);
    cmdSend = button(sendRow, "cmdSend", QStringLiteral("&Send"), &frmServers::cmdSend_Click);
    lowerLayout->addLayout(sendRow);
    txtResults = new OutputPane(this);
    txtResults->setObjectName(QStringLiteral("txtResults"));
    txtResults->setAccessibleName(QStringLiteral("Results"));
    // The main window's pane, for which the colours of the codes are chosen.
    txtResults->setFont(Fonts::courierNew(8.25));
    QPalette pane = txtResults->palette();
    pane.setColor(QPalette::Base, ColourCodes::PaneBackground());
    pane.setColor(QPalette::Text, ColourCodes::PaneText());
    txtResults->setPalette(pane);
    lowerLayout->addWidget(txtResults, 1);

    splitter = new QSplitter(Qt::Vertical, this);
    splitter->setObjectName(QStringLiteral("splitter"));
    splitter->addWidget(grdServers);
    splitter->addWidget(lower);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    layout->addWidget(splitter, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    cmdClose = new QPushButton(QStringLiteral("C&lose"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setAutoDefault(false);
    bottom->addWidget(cmdClose);
    layout->addLayout(bottom);

    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this, &QWidget::close);
    connect(txtCommand, &QLineEdit::returnPressed, this, &frmServers::cmdSend_Click);
    connect(grdServers, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
        grdServers_Activated(sortedServers->mapToSource(index).row());
    });
    connect(grdServers->selectionModel(), &QItemSelectionModel::selectionChanged, this, &frmServers::updateActions);
    connect(cboSendTo, &QComboBox::currentIndexChanged, this, &frmServers::updateActions);
}

void frmServers::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    restartPolling();
}

void frmServers::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous())
        return;  // minimised: still open
    saveSettings();
    poller->stop();
}

void frmServers::saveSettings()
{
    SaveProgramSetting(Key::ServersGeometry, QString::fromLatin1(saveGeometry().toBase64()));
    SaveProgramSetting(Key::ServersColumns, ColumnsTag() + QString::fromLatin1(grdServers->horizontalHeader()->saveState().toBase64()));
    SaveProgramSetting(Key::ServersSplitter, QString::fromLatin1(splitter->saveState().toBase64()));
    SaveProgramSetting(Key::ServersPollSeconds, QString::number(txtPollSeconds->value()));
}

void frmServers::restartPolling()
{
    if (!isVisible() || ShuttingDown()) {
        poller->stop();
        return;
    }
    QList<PolledServer> polled;
    for (const SavedServer& s : servers->servers())
        polled.append({s.host, s.port});
    // A poller already running takes the new list or period without dropping the polls in flight.
    if (polled != poller->servers())
        poller->setServers(polled);
    if (txtPollSeconds->value() * 1000 != poller->periodMs())
        poller->setPeriodMs(txtPollSeconds->value() * 1000);
    if (!poller->isRunning())
        poller->start();
}

void frmServers::addNotice(const QString& line)
{
    if (m_notices.contains(line))
        return;
    m_notices.append(line);
    lblNotice->setText(m_notices.join(QLatin1Char('\n')));
    lblNotice->show();
}

void frmServers::setList(const QList<SavedServer>& list)
{
    // The servers selected stay selected, wherever the new list has them.
    QList<SavedServer> selected;
    for (int row : selectedRows())
        selected.append(servers->server(row));
    servers->setServers(list);
    for (const SavedServer& s : selected) {
        const int row = servers->rowOf(s.host, s.port);
        if (row >= 0)
            grdServers->selectionModel()->select(sortedServers->mapFromSource(servers->index(row, 0)),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    updateGroups();
    updateActions();
    restartPolling();
}

bool frmServers::saveList()
{
    if (!m_mayWrite)
        return false;
    if (SaveServerList(servers->servers()))
        return true;
    addNotice(QStringLiteral("The list of servers could not be saved in %1.").arg(UserDataFolder()));
    return false;
}

void frmServers::updateGroups()
{
    const QString chosen = cboSendTo->currentIndex() >= FirstGroup ? cboSendTo->currentText() : QString();
    const int entry = cboSendTo->currentIndex();
    QSignalBlocker quiet(cboSendTo);
    cboSendTo->clear();
    cboSendTo->addItem(QStringLiteral("Selected servers"));
    cboSendTo->addItem(QStringLiteral("All servers"));
    const QStringList groups = ServerGroups(servers->servers());
    for (const QString& group : groups)
        cboSendTo->addItem(QStringLiteral("Group: ") + group, group);
    const int again = chosen.isEmpty() ? -1 : cboSendTo->findText(chosen);
    cboSendTo->setCurrentIndex(again >= 0 ? again : (entry == AllServers ? AllServers : SelectedServers));
}

void frmServers::updateActions()
{
    const int selected = selectedRows().size();
    cmdEdit->setEnabled(selected == 1);
    cmdRemove->setEnabled(selected > 0);
}

QList<int> frmServers::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : grdServers->selectionModel()->selectedRows())
        rows.append(sortedServers->mapToSource(index).row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

QList<SavedServer> frmServers::SendTargets() const
{
    const int entry = cboSendTo->currentIndex();
    if (entry == AllServers)
        return servers->servers();
    if (entry >= FirstGroup)
        return ServersOfGroup(servers->servers(), cboSendTo->currentData().toString());
    QList<SavedServer> chosen;
    for (int row : selectedRows())
        chosen.append(servers->server(row));
    return chosen;
}

void frmServers::cmdAddCurrent_Click()
{
    QString address, port, password;
    m_link.readBoxes(&address, &port, &password);
    const ServerBoxes boxes = ReadServerBoxes(TrimSpaces(address), TrimSpaces(port));
    if (boxes.problemBox != ServerBoxes::None) {
        MessageBox::show(this, boxes.problem);
        return;
    }
    password = TrimSpaces(password);
    QList<SavedServer> list = servers->servers();
    int row = IndexOfServer(list, boxes.host, boxes.port);
    if (row < 0) {
        SavedServer added;
        added.host = boxes.host;
        added.port = boxes.port;
        added.label = added.address();
        list.append(added);
        setList(list);
        saveList();
        row = list.size() - 1;
    }
    if (!password.isEmpty())
        passwords->write(boxes.host, boxes.port, password);
    grdServers->selectRow(sortedServers->mapFromSource(servers->index(row, 0)).row());
}

QString frmServers::inListAlready(const SavedServer& server, int row) const
{
    const QList<SavedServer>& list = servers->servers();
    const int there = IndexOfServer(list, server.host, server.port);
    return there >= 0 && there != row ? QStringLiteral("%1 is in the list already, as %2.").arg(server.address(), list[there].shownLabel())
                                      : QString();
}

void frmServers::cmdAdd_Click()
{
    auto* form = new ServerForm(QStringLiteral("Add Server"), this);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->setPasswordKept(false);
    form->setRefusal([this](const SavedServer& added) { return inListAlready(added, -1); });
    connect(form, &QDialog::accepted, this, [this, form] {
        const SavedServer added = form->server();
        QList<SavedServer> list = servers->servers();
        list.append(added);
        setList(list);
        saveList();
        if (!form->password().isEmpty())
            passwords->write(added.host, added.port, form->password());
        grdServers->selectRow(sortedServers->mapFromSource(servers->index(list.size() - 1, 0)).row());
    });
    form->open();
}

void frmServers::cmdEdit_Click()
{
    const QList<int> rows = selectedRows();
    if (rows.size() != 1)
        return;
    const SavedServer before = servers->server(rows.first());
    auto* form = new ServerForm(QStringLiteral("Edit Server"), this);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->setServer(before);
    form->setPasswordKept(true);
    form->setRefusal([this, before](const SavedServer& after) {
        return inListAlready(after, IndexOfServer(servers->servers(), before.host, before.port));
    });
    connect(form, &QDialog::accepted, this, [this, form, before] {
        const SavedServer after = form->server();
        QList<SavedServer> list = servers->servers();
        const int row = IndexOfServer(list, before.host, before.port);
        if (row < 0)
            return;  // removed meanwhile
        list[row] = after;
        setList(list);
        saveList();
        const QString typed = form->password();
        if (before.sameServer(after.host, after.port)) {
            if (!typed.isEmpty())
                passwords->write(after.host, after.port, typed);
            return;
        }
        // A new address: the password (the one typed, or else the one saved) goes with it.
        passwords->read(before.host, before.port, this, [this, before, after, typed](const QString& saved) {
            const QString password = typed.isEmpty() ? saved : typed;
            if (!password.isEmpty())
                passwords->write(after.host, after.port, password);
            passwords->remove(before.host, before.port);
        });
    });
    form->open();
}

void frmServers::cmdRemove_Click()
{
    const QList<int> rows = selectedRows();
    if (rows.isEmpty())
        return;
    const QString question = rows.size() == 1
        ? QStringLiteral("Remove %1 from the list?").arg(servers->server(rows.first()).named())
        : QStringLiteral("Remove %1 servers from the list?").arg(rows.size());
    const QString passwordsToo = rows.size() == 1 ? QStringLiteral("Its saved password is removed from the keyring too.")
                                                  : QStringLiteral("Their saved passwords are removed from the keyring too.");
    if (MessageBox::show(this, question + QStringLiteral("\n\n") + passwordsToo,
            QStringLiteral("Remove"), QMessageBox::Yes | QMessageBox::No, QMessageBox::Question, QMessageBox::No)
        != QMessageBox::Yes)
        return;
    QList<SavedServer> list = servers->servers();
    for (auto it = rows.crbegin(); it != rows.crend(); ++it) {
        const SavedServer gone = list.takeAt(*it);
        passwords->remove(gone.host, gone.port);
    }
    setList(list);
    saveList();
}

void frmServers::cmdSend_Click()
{
    const QString command = TrimSpaces(txtCommand->text());
    if (command.isEmpty()) {
        txtCommand->setFocus();
        return;
    }
    const QList<SavedServer> targets = SendTargets();
    if (targets.isEmpty()) {
        MessageBox::show(this, QStringLiteral("Select the servers to send to in the table, or choose a group."));
        return;
    }
    if (targets.size() > 1
        && MessageBox::show(this, QStringLiteral("Send `%1` to %2 servers: %3?").arg(command, QString::number(targets.size()), NamedServers(targets)),
               QStringLiteral("Send"), QMessageBox::Yes | QMessageBox::No, QMessageBox::Question, QMessageBox::No)
            != QMessageBox::Yes)
        return;
    // The echo line, and where it went in a write of its own: in the pane's own colour
    // whatever colour the command ends in.
    appendResults(TimeOfDay() + QStringLiteral(" : ") + command);
    appendResults(targets.size() == 1 ? QStringLiteral("   (to %1)\r\n").arg(targets.first().named())
                                      : QStringLiteral("   (to %1 servers)\r\n").arg(targets.size()));
    txtCommand->clear();
    sender->start(targets, command, m_link.logging && m_link.logging());
}

void frmServers::showResult(const SendResult& result)
{
    appendResults(result.section());
}

void frmServers::appendResults(const QString& text)
{
    // The pane keeps the latest results; beyond its cap it starts again from them.
    constexpr int ResultsCap = 1000000;
    txtResults->setText(txtResults->text().size() + text.size() > ResultsCap ? text : txtResults->text() + text);
    txtResults->setSelStart(txtResults->text().size());
}

void frmServers::grdServers_Activated(int row)
{
    if (row < 0 || row >= servers->rowCount())
        return;
    const SavedServer server = servers->server(row);
    passwords->read(server.host, server.port, this, [this, server](const QString& password) {
        if (m_link.fillBoxes)
            m_link.fillBoxes(server.host, server.port, password);
    });
}
