#include "maps/frmMaps.h"

#include "completion/ServerCommands.h"
#include "console/ServerList.h"
#include "widgets/BoundWindow.h"
#include "console/NoAnswerLine.h"
#include "maps/MapList.h"
#include "console/StatusResponse.h"
#include "settings/UserDataFolder.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRandomGenerator>
#include <QShortcut>
#include <QShowEvent>
#include <QSortFilterProxyModel>
#include <QStringListModel>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr qint64 MaxMapFileBytes = 1 << 20;
// A map change keeps the server busy for a few seconds: its status is asked a moment after the
// command, and again while it still names another map.
constexpr int StatusAfterCommandMs = 1000;
constexpr int StatusRetryMs = 1500;
constexpr int StatusTries = 8;
constexpr int MapLoadMs = 8000;  // a getstatus sent during a map change is answered after it
}

frmMaps::frmMaps(MainWindowBoxReader readBoxes, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_readBoxes(std::move(readBoxes))
{
    setObjectName(QStringLiteral("frmMaps"));
    setWindowTitle(QStringLiteral("Maps"));
    createControls();
    resize(420, 520);
}

void frmMaps::createControls()
{
    auto* layout = new QVBoxLayout(this);
    lblServer = AddInfoLine(this, layout, "lblServer");
    lblNextMap = AddInfoLine(this, layout, "lblNextMap");
    lblProblem = AddInfoLine(this, layout, "lblProblem");
    MakeProblemLine(lblProblem);

    auto* filterLine = new QHBoxLayout;
    auto* filterLabel = new QLabel(QStringLiteral("&Filter:"), this);
    txtFilter = new QLineEdit(this);
    txtFilter->setObjectName(QStringLiteral("txtFilter"));
    txtFilter->setClearButtonEnabled(true);
    txtFilter->setPlaceholderText(QStringLiteral("part of a map name"));
    filterLabel->setBuddy(txtFilter);
    filterLine->addWidget(filterLabel);
    filterLine->addWidget(txtFilter, 1);
    layout->addLayout(filterLine);

    maps = new QStringListModel(this);
    filteredMaps = new QSortFilterProxyModel(this);
    filteredMaps->setSourceModel(maps);
    filteredMaps->setFilterCaseSensitivity(Qt::CaseInsensitive);
    lstMaps = new QListView(this);
    lstMaps->setObjectName(QStringLiteral("lstMaps"));
    lstMaps->setAccessibleName(QStringLiteral("Maps"));
    lstMaps->setModel(filteredMaps);
    lstMaps->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstMaps->setSelectionMode(QAbstractItemView::SingleSelection);
    layout->addWidget(lstMaps, 1);

    auto* buttons = new QHBoxLayout;
    auto button = [this, buttons](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    cmdChangeMap = button("cmdChangeMap", QStringLiteral("&Change Map"));
    cmdRestartMap = button("cmdRestartMap", QStringLiteral("&Restart Map"));
    cmdNextMap = button("cmdNextMap", QStringLiteral("&Next Map"));
    buttons->addStretch(1);
    layout->addLayout(buttons);
    lblAnswer = new AnswerLine(this, "lblAnswer");
    layout->addWidget(lblAnswer);
    auto* bottom = new QHBoxLayout;
    cmdRefreshList = new QPushButton(QStringLiteral("Refre&sh List"), this);
    cmdRefreshList->setObjectName(QStringLiteral("cmdRefreshList"));
    cmdRefreshList->setAutoDefault(false);
    cmdClose = new QPushButton(QStringLiteral("C&lose"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setAutoDefault(false);
    bottom->addWidget(cmdRefreshList);
    bottom->addStretch(1);
    bottom->addWidget(cmdClose);
    layout->addLayout(bottom);
    setTabOrder(txtFilter, lstMaps);

    serverCommands = new ServerCommands(this);
    connect(serverCommands, &ServerCommands::changed, this, [this] {
        if (m_wantList && serverCommands->known())
            askList(m_listTyped);
        else if (m_wantList)  // read again at the next refresh
            showProblem(serverCommands->missingText(QStringLiteral("fdir")));
        m_wantList = false;
        updateActions();
    });
    connect(txtFilter, &QLineEdit::textChanged, filteredMaps, &QSortFilterProxyModel::setFilterFixedString);
    connect(txtFilter, &QLineEdit::textChanged, this, &frmMaps::updateActions);
    connect(lstMaps->selectionModel(), &QItemSelectionModel::selectionChanged, this, &frmMaps::updateActions);
    connect(lstMaps, &QAbstractItemView::doubleClicked, this, &frmMaps::cmdChangeMap_Click);
    connect(cmdChangeMap, &QPushButton::clicked, this, &frmMaps::cmdChangeMap_Click);
    connect(cmdRestartMap, &QPushButton::clicked, this, &frmMaps::cmdRestartMap_Click);
    connect(cmdNextMap, &QPushButton::clicked, this, &frmMaps::cmdNextMap_Click);
    connect(cmdRefreshList, &QPushButton::clicked, this, [this] { Refresh(true); });
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this, &QWidget::close);
    txtFilter->installEventFilter(this);
    lstMaps->installEventFilter(this);
    showServerLine();
    updateActions();
}

void frmMaps::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    txtFilter->setFocus();
    if (!event->spontaneous())
        Refresh();
}

bool frmMaps::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (watched == txtFilter && key == Qt::Key_Down && filteredMaps->rowCount() > 0) {
        lstMaps->setFocus();
        if (SelectedMap().isEmpty())
            lstMaps->setCurrentIndex(filteredMaps->index(0, 0));
        return true;
    }
    if (watched == lstMaps && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        cmdChangeMap_Click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

QStringList frmMaps::ShownMaps() const
{
    QStringList names;
    for (int r = 0; r < filteredMaps->rowCount(); ++r)
        names << filteredMaps->index(r, 0).data().toString();
    return names;
}

QString frmMaps::SelectedMap() const
{
    const QModelIndexList selected = lstMaps->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? QString() : selected.first().data().toString();
}

void frmMaps::Refresh(bool list)
{
    const BoundServer boxes = ReadBoxesForRefresh(this, m_readBoxes, lblProblem);
    if (!boxes.isSet())
        return;
    lblProblem->clear();
    if (!boxes.sameServer(m_server) || boxes.password != m_server.password)
        bind(boxes);
    serverCommands->bind(m_server.host, m_server.port, m_server.password);  // asked again after a failure
    askStatus(QString(), 0);
    askNextMap();
    if (list || maps->rowCount() == 0)
        askList(list);
}

void frmMaps::bind(const BoundServer& server)
{
    const bool sameServer = server.sameServer(m_server);
    m_server = server;
    ++m_generation;
    m_answered = false;
    if (!sameServer) {
        m_currentMap.clear();
        m_gameType.clear();
        m_nextMap.clear();
        m_nextMapKnown = false;
        // A list read from this server before is shown at once; it is read again on Refresh List.
        showList(ReadMapFile(ReadUserDataFile(MapFileName(server.host, server.port), MaxMapFileBytes)));
        showServerLine();
    }
    updateActions();
}

void frmMaps::askStatus(const QString& expectedMap, int tries)
{
    const QString token = QString::number(QRandomGenerator::global()->bounded(1000000, 99999999));
    ExchangeRequest request = BoundRequest(m_server, QStringLiteral("getstatus ") + token, ExchangeRequest::Priority::Automatic, true);
    if (!expectedMap.isEmpty())
        request.firstDatagramMs = MapLoadMs;
    request.quietMs = 300;
    const int generation = m_generation;
    connect(ServerExchange::ask(request, this), &ServerExchange::finished, this, [=](const ExchangeOutcome& outcome) {
        if (generation != m_generation || outcome.kind == ExchangeOutcome::Skipped || outcome.kind == ExchangeOutcome::Cancelled)
            return;
        const StatusResponse status = outcome.kind == ExchangeOutcome::Answered && !outcome.datagrams.isEmpty()
            ? ReadStatusResponse(outcome.datagrams.first()) : StatusResponse();
        const bool read = status.valid && status.value(QStringLiteral("challenge")) == token;
        if (lblAnswer->checking())
            lblAnswer->found(read ? QStringLiteral("The map is now %1.").arg(status.map()) : QStringLiteral("The map could not be read again."));
        if (read) {
            m_currentMap = status.map();
            m_gameType = status.gameType();
            showServerLine();
        } else {
            showProblem(outcome.kind == ExchangeOutcome::Answered
                    ? QStringLiteral("%1 sent a status answer that could not be read.").arg(m_server.text())
                    : OutcomeProblem(request, outcome));
        }
        if (expectedMap.isEmpty())
            return;
        // After a command: until the server names the map expected ("*": any), a few times.
        if ((!read || (expectedMap != QLatin1String("*") && m_currentMap.compare(expectedMap, Qt::CaseInsensitive) != 0)) && tries > 0) {
            QTimer::singleShot(StatusRetryMs, this, [this, expectedMap, tries, generation] {
                if (generation == m_generation && isVisible())
                    askStatus(expectedMap, tries - 1);
            });
            return;
        }
        askNextMap();  // the rotation may have moved on with the map
    });
}

bool frmMaps::takeAnswer(int generation, const ExchangeRequest& request, const ExchangeOutcome& outcome)
{
    if (generation != m_generation || outcome.kind == ExchangeOutcome::Skipped || outcome.kind == ExchangeOutcome::Cancelled)
        return false;
    if (outcome.kind != ExchangeOutcome::Answered) {
        showProblem(OutcomeProblem(request, outcome));
        return false;
    }
    m_answered = true;
    return true;
}

void frmMaps::askNextMap()
{
    const int generation = m_generation;
    const ExchangeRequest request = BoundRequest(m_server, QStringLiteral("nextmap"), ExchangeRequest::Priority::Automatic);
    connect(ServerExchange::ask(request, this), &ServerExchange::finished, this, [=](const ExchangeOutcome& outcome) {
        if (!takeAnswer(generation, request, outcome) || outcome.incomplete || outcome.cut)
            return;
        const VariableValue next = ReadVariableValue(outcome.text, QStringLiteral("nextmap"));
        m_nextMapKnown = next.found;
        m_nextMap = next.value;
        showServerLine();
        updateActions();
    });
}

void frmMaps::askList(bool typed)
{
    m_wantList = false;
    if (!serverCommands->known()) {
        m_wantList = true;  // asked when the server's commands are known
        m_listTyped = typed;
        return;
    }
    if (!serverCommands->has(QStringLiteral("fdir"))) {
        showProblem(QStringLiteral("%1 has no \"fdir\" command: its map list cannot be read.").arg(m_server.text()));
        return;
    }
    const int generation = m_generation;
    ExchangeRequest request = BoundRequest(m_server, QStringLiteral("fdir *.bsp"),
        typed ? ExchangeRequest::Priority::Typed : ExchangeRequest::Priority::Automatic);
    request.quietMs = 300;
    connect(ServerExchange::ask(request, this), &ServerExchange::finished, this, [=](const ExchangeOutcome& outcome) {
        if (!takeAnswer(generation, request, outcome))
            return;
        if (outcome.incomplete || outcome.cut) {
            // Never shown as the list: the last whole one stays, greyed.
            showProblem(AnswerWarning(request, outcome, LineCase::Window));
            lstMaps->setEnabled(false);
            return;
        }
        const MapList list = ReadMapList(outcome.text);
        if (!list.found) {
            const QString first = outcome.text.section(QLatin1Char('\n'), 0, 0).trimmed();
            showProblem(QStringLiteral("%1 sent no map list: %2").arg(m_server.text(), first));
            updateActions();
            return;
        }
        showList(list.names);
        if (MakeUserDataFolder())
            WriteUserDataFile(MapFileName(m_server.host, m_server.port), WriteMapFile(list.names));
    });
}

void frmMaps::showList(const QStringList& names)
{
    lstMaps->setEnabled(true);
    const QString selected = SelectedMap();
    maps->setStringList(names);
    const int row = names.indexOf(selected);
    if (row >= 0)
        lstMaps->setCurrentIndex(filteredMaps->mapFromSource(maps->index(row, 0)));
    updateActions();
}

void frmMaps::showProblem(const QString& problem)
{
    lblProblem->setText(problem);
}

void frmMaps::showServerLine()
{
    if (!m_server.isSet()) {
        lblServer->setText(QStringLiteral("No server read yet."));
        lblNextMap->clear();
        return;
    }
    QString line = m_server.text() + QStringLiteral(" \u00b7 map ")
        + (m_currentMap.isEmpty() ? QStringLiteral("unknown") : m_currentMap);
    if (!m_gameType.isEmpty())
        line += QStringLiteral(" \u00b7 game type ") + GameTypeText(m_gameType);
    lblServer->setText(line);
    lblNextMap->setText(!m_nextMapKnown ? QStringLiteral("Next map: unknown")
            : m_nextMap.isEmpty()       ? QStringLiteral("Next map: none (nextmap is empty)")
                                        : QStringLiteral("Next map: ") + m_nextMap);
}

void frmMaps::updateActions()
{
    const bool ready = m_server.isSet() && m_answered;
    auto set = [this](QPushButton* button, bool enable, const QString& command, const QString& why) {
        const bool has = serverCommands->has(command);
        button->setEnabled(enable && has);
        button->setToolTip(!has ? serverCommands->missingText(command).toHtmlEscaped() : enable ? QString() : why);
    };
    const QString notRead = QStringLiteral("Waiting for the server's answer.");
    set(cmdChangeMap, ready && !SelectedMap().isEmpty(), QStringLiteral("map"), ready ? QStringLiteral("Select a map first.") : notRead);
    set(cmdRestartMap, ready, QStringLiteral("map_restart"), notRead);
    set(cmdNextMap, ready && !m_nextMap.isEmpty(), QStringLiteral("vstr"),
        ready ? QStringLiteral("The server's nextmap variable is empty.") : notRead);
}

void frmMaps::send(const QString& command, const QString& expectedMap)
{
    emit commandForServer(m_server.host, m_server.port, m_server.password, command);
    lblAnswer->sent(m_server.text(), command);
    const int generation = m_generation;
    QTimer::singleShot(StatusAfterCommandMs, this, [this, generation, expectedMap] {
        if (generation == m_generation && isVisible())
            askStatus(expectedMap, expectedMap == QLatin1String("*") ? 1 : StatusTries);
    });
}

void frmMaps::ActionOver(QObject* window, const QString& command, const ExchangeOutcome& outcome)
{
    if (lblAnswer->unanswered(window, command, outcome) && isVisible())
        askStatus(QString(), 0);
}

void frmMaps::cmdChangeMap_Click()
{
    const QString name = SelectedMap();
    const QString command = ChangeMapCommand(name);
    if (!cmdChangeMap->isEnabled() || command.isEmpty())
        return;
    if (ConfirmAction(this, QStringLiteral("Change the map of %1 to %2?\n\nEveryone on the server goes to the new map.").arg(NamedServer(m_server.host, m_server.port), name),
            QStringLiteral("Change Map")))
        send(command, name);
}

void frmMaps::cmdRestartMap_Click()
{
    if (!cmdRestartMap->isEnabled())
        return;
    // Named only when the server's text for it is a plain map name.
    const QString map = IsMapName(m_currentMap) ? m_currentMap : QStringLiteral("the current map");
    if (ConfirmAction(this, QStringLiteral("Restart %1 on %2?").arg(map, NamedServer(m_server.host, m_server.port)), QStringLiteral("Restart Map")))
        send(QStringLiteral("map_restart"), QStringLiteral("*"));
}

void frmMaps::cmdNextMap_Click()
{
    if (!cmdNextMap->isEnabled())
        return;
    // The nextmap value is the server's text: it stays on the window's plain-text line.
    if (ConfirmAction(this, QStringLiteral("Go to the next map on %1?\n\nThe server runs the command its nextmap variable holds, "
                               "shown in the Maps window.").arg(NamedServer(m_server.host, m_server.port)),
            QStringLiteral("Next Map")))
        send(QStringLiteral("vstr nextmap"), QStringLiteral("*"));
}
