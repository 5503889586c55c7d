#include "widgets/BoundWindow.h"

#include "console/ColourCodes.h"
#include "console/NoAnswerLine.h"
#include "settings/Shutdown.h"
#include "widgets/MessageBox.h"

#include <QBoxLayout>
#include <QLabel>

QLabel* AddInfoLine(QWidget* window, QBoxLayout* layout, const char* name)
{
    auto* l = new QLabel(window);
    l->setObjectName(QLatin1String(name));
    l->setTextFormat(Qt::PlainText);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    l->setMinimumHeight(l->fontMetrics().height());
    layout->addWidget(l);
    return l;
}

void MakeProblemLine(QLabel* line)
{
    line->setWordWrap(true);
    QPalette warning = line->palette();
    warning.setColor(QPalette::WindowText, QColor(176, 0, 0));
    line->setPalette(warning);
}

BoundServer ReadBoxesForRefresh(const QWidget* window, const MainWindowBoxReader& readBoxes, QLabel* problemLine)
{
    if (ShuttingDown() || !window->isVisible())
        return BoundServer();
    QString problem;
    const BoundServer boxes = ReadBoundServer(readBoxes(), &problem);
    if (!boxes.isSet())
        problemLine->setText(problem);
    return boxes;
}

QString Counted(int n, const char* one, const char* many)
{
    return QString::number(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? one : many);
}

bool ConfirmAction(QWidget* window, const QString& question, const QString& title)
{
    return MessageBox::show(window, question, title, QMessageBox::Yes | QMessageBox::No, QMessageBox::Question, QMessageBox::No)
        == QMessageBox::Yes;
}

AnswerLine::AnswerLine(QWidget* window, const char* name)
    : QLabel(window)
{
    setObjectName(QLatin1String(name));
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setWordWrap(true);
    setMinimumHeight(fontMetrics().height());
}

void AnswerLine::sent(const QString& server, const QString& command)
{
    m_server = server;
    m_command = command;
    m_answer.clear();
    m_unanswered.clear();
    setText(QStringLiteral("`%1` sent to %2; its answer shows here.").arg(command, server));
}

void AnswerLine::answered(QObject* window, const QString& text, bool first)
{
    if (window != this->window())
        return;
    constexpr int Lines = 3;
    constexpr int MaxCharacters = 300;
    if (first)
        m_answer.clear();
    m_answer += text;
    QStringList lines;
    for (const QString& line : ColourCodes::Strip(m_answer).split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty())
            lines << line.trimmed();
    }
    QString shown = lines.mid(0, Lines).join(QStringLiteral("  "));
    if (lines.size() > Lines || shown.size() > MaxCharacters)
        shown = shown.left(MaxCharacters) + QStringLiteral(" ...");
    setText(lines.isEmpty() ? QStringLiteral("%1 answered `%2` with nothing.").arg(m_server, m_command)
                            : QStringLiteral("%1 answered `%2`: %3").arg(m_server, m_command, shown));
}

bool AnswerLine::unanswered(QObject* window, const QString& command, const ExchangeOutcome& outcome)
{
    if (window != this->window() || command != m_command || outcome.kind != ExchangeOutcome::NoAnswer)
        return false;
    // An action is never sent twice: whether it ran shows in what the server holds now.
    m_unanswered = NoAnswerLine(m_server, command, false, outcome.tries, LineCase::Window);
    setText(m_unanswered + QStringLiteral(" Reading again ..."));
    return true;
}

void AnswerLine::found(const QString& what)
{
    if (m_unanswered.isEmpty())
        return;
    setText(what.isEmpty() ? m_unanswered : m_unanswered + QLatin1Char(' ') + what);
    m_unanswered.clear();
}
