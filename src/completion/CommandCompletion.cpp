#include "completion/CommandCompletion.h"

#include "completion/NameRefresh.h"
#include "console/RecallFile.h"
#include "settings/ProgramInfo.h"
#include "settings/UserDataFolder.h"
#include "console/CommandHistory.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCompleter>
#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QStringListModel>

namespace {
constexpr qint64 MaxNameFileBytes = 4 * 1024 * 1024;

QString readProgramFile(const QString& name)
{
    QFile file(ProgramInfo::programFolder() + QLatin1Char('/') + name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
}

CommandCompletion::CommandCompletion(QLineEdit* box, CommandHistory* recall, MainWindowBoxReader boxes, NameRefresh* refresh, QObject* parent)
    : QObject(parent)
    , m_box(box)
    , m_recall(recall)
    , m_boxes(std::move(boxes))
    , m_completer(new QCompleter(this))
    , m_model(new QStringListModel(this))
    , m_refresh(refresh)
{
    // The list holds only the names offered; the popup shows it whole, in its order.
    m_completer->setModel(m_model);
    m_completer->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    m_completer->setCaseSensitivity(Qt::CaseInsensitive);
    m_completer->setMaxVisibleItems(12);
    m_completer->setWidget(box);
    popup()->setObjectName(QStringLiteral("txtCommandNames"));
    popup()->installEventFilter(this);  // after the completer's own filter, so it comes first

    connect(box, &QLineEdit::textEdited, this, &CommandCompletion::updatePopup);
    connect(m_completer, qOverload<const QString&>(&QCompleter::activated), this, &CommandCompletion::take);
    connect(m_refresh, &NameRefresh::learned, this, [this] { m_haveNames = false; });

    for (const QString& command : LoadRecallFile())
        recall->record(command);
}

QAbstractItemView* CommandCompletion::popup() const
{
    return m_completer->popup();
}

NameLists CommandCompletion::currentNames()
{
    const ServerBoxes server = ReadWindowServer(m_boxes);
    const QString file = server.problemBox == ServerBoxes::None ? NameFileName(server.host, server.port) : QString();
    if (m_haveNames && file == m_namesFile)
        return m_names;
    if (!m_haveReference) {
        m_reference = Tidy({ReadReferenceList(readProgramFile(QStringLiteral("commands.txt"))),
            ReadReferenceList(readProgramFile(QStringLiteral("variables.txt")))});
        m_haveReference = true;
    }
    NameLists learned;
    bool cut = false;  // a file over the limit is read up to it
    const QByteArray bytes = file.isEmpty() ? QByteArray() : ReadUserDataFile(file, MaxNameFileBytes, &cut);
    if (!file.isEmpty() && ReadNameFile(bytes, &learned, cut)) {
        // A window that needed only the server's commands (cmdlist) kept no variables of it.
        if (learned.variables.isEmpty())
            learned.variables = m_reference.variables;
        m_names = Tidy(learned);
    } else {
        m_names = m_reference;
    }
    m_namesFile = file;
    m_haveNames = true;
    return m_names;
}

void CommandCompletion::updatePopup()
{
    QLineEdit* box = m_box;
    const WordToComplete word = FindWordToComplete(box->text().left(box->cursorPosition()));
    const QStringList offered = NamesOffered(currentNames(), word);
    if (offered.isEmpty() || (offered.size() == 1 && offered.first().compare(word.prefix, Qt::CaseInsensitive) == 0)) {
        popup()->hide();  // nothing to offer beyond what is typed
        return;
    }
    m_model->setStringList(offered);

    // Under the word, as wide as its longest name. Only the names of nearly the most
    // characters are measured: measuring text is what costs most here.
    qsizetype longest = 0;
    for (const QString& name : offered)
        longest = qMax(longest, name.size());
    const QFontMetrics names(popup()->font());
    int widest = 0;
    for (const QString& name : offered) {
        if (name.size() + 3 >= longest)
            widest = qMax(widest, names.horizontalAdvance(name));
    }
    const QRect caret = box->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    const int left = qMax(0, caret.left() - box->fontMetrics().horizontalAdvance(word.prefix));
    const int width = widest + popup()->verticalScrollBar()->sizeHint().width() + 2 * popup()->frameWidth() + 12;
    m_completer->complete(QRect(left, caret.top(), qMin(width, box->width()), caret.height()));
    popup()->selectionModel()->clear();  // nothing highlighted until Up or Down
    popup()->scrollToTop();
}

void CommandCompletion::take(const QString& name)
{
    popup()->hide();
    QLineEdit* box = m_box;
    const QString text = box->text();
    const int caret = box->cursorPosition();
    const WordToComplete word = FindWordToComplete(text.left(caret));
    if (word.kind == WordToComplete::None)
        return;
    int end = caret;  // the whole word goes, also what of it stands after the caret
    while (end < text.size() && !text.at(end).isSpace())
        ++end;
    const bool spaceFollows = end < text.size() && text.at(end) == QLatin1Char(' ');
    // One edit, which Undo takes back whole.
    box->setSelection(word.start, end - word.start);
    box->insert(spaceFollows ? name : name + QLatin1Char(' '));
    if (spaceFollows)
        box->setCursorPosition(word.start + name.size() + 1);
    m_recall->stopRecall();
}

void CommandCompletion::move(int step)
{
    const int rows = popup()->model()->rowCount();
    if (rows == 0)
        return;
    const QModelIndex current = popup()->currentIndex();
    int row = current.isValid() ? current.row() + step : (step > 0 ? 0 : rows - 1);
    row = (row + rows) % rows;
    popup()->setCurrentIndex(popup()->model()->index(row, 0));
}

bool CommandCompletion::keyPress(int key)
{
    const bool open = popup()->isVisible();
    QLineEdit* box = m_box;
    switch (key) {
    case Qt::Key_Tab: {
        QString name;
        if (open) {
            const QModelIndex current = popup()->currentIndex();
            name = (current.isValid() ? current : popup()->model()->index(0, 0)).data().toString();
        } else {
            const QStringList offered =
                NamesOffered(currentNames(), FindWordToComplete(box->text().left(box->cursorPosition())));
            if (offered.isEmpty())
                return false;
            name = offered.first();
        }
        take(name);
        return true;
    }
    case Qt::Key_Escape:
        if (!open)
            return false;
        popup()->hide();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (!open)
            return false;
        move(key == Qt::Key_Up ? -1 : 1);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!open)
            return false;
        if (popup()->currentIndex().isValid()) {  // moved to with Up or Down
            take(popup()->currentIndex().data().toString());
            return true;
        }
        popup()->hide();
        return false;
    default:
        return false;
    }
}

bool CommandCompletion::eventFilter(QObject* watched, QEvent* event)
{
    // While the popup is open it gets the keys. Paging moves in it; every other key goes to
    // the command box, through the window's handling, as if the popup were not there.
    if (watched != popup() || event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_PageUp || key == Qt::Key_PageDown)
        return false;
    QCoreApplication::sendEvent(m_box, event);
    if (!m_box->hasFocus())
        popup()->hide();
    return true;
}
