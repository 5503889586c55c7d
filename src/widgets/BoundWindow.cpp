#include "widgets/BoundWindow.h"

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

bool ConfirmAction(QWidget* window, const QString& question, const QString& title)
{
    return MessageBox::show(window, question, title, QMessageBox::Yes | QMessageBox::No, QMessageBox::Question, QMessageBox::No)
        == QMessageBox::Yes;
}
