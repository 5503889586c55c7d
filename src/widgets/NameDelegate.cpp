#include "widgets/NameDelegate.h"

#include "console/ColourCodes.h"

#include <QApplication>
#include <QPainter>

namespace {
constexpr int Margin = 4;  // text from the edges of its blue ground
constexpr int Gap = 2;     // the blue ground from the edges of the cell
}

NameDelegate::NameDelegate(int role, QObject* parent)
    : QStyledItemDelegate(parent)
    , m_role(role)
{
}

void NameDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    // The cell as every other cell of the row: selection, alternate colour, focus.
    opt.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const QString withCodes = index.data(m_role).toString();
    const QVariant foreground = index.data(Qt::ForegroundRole);
    if (foreground.isValid()) {
        opt.text = ColourCodes::Strip(withCodes);
        opt.palette.setBrush(QPalette::Text, foreground.value<QBrush>());
        style->drawItemText(painter, opt.rect.adjusted(Gap + Margin, 0, -Gap, 0), Qt::AlignLeft | Qt::AlignVCenter,
            opt.palette, true, opt.fontMetrics.elidedText(opt.text, Qt::ElideRight, opt.rect.width() - 2 * (Gap + Margin)),
            QPalette::Text);
        return;
    }
    const ColourCodes::Reading name = ColourCodes::Read(withCodes);
    const QFontMetrics metrics(opt.font);
    const QRect cell = opt.rect.adjusted(Gap, Gap, -Gap, -Gap);
    QRect ground = cell;
    ground.setWidth(qMin(cell.width(), metrics.horizontalAdvance(name.text) + 2 * Margin));

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(ColourCodes::PaneBackground());
    painter->drawRoundedRect(ground, 3, 3);
    painter->setFont(opt.font);
    painter->setClipRect(ground.adjusted(0, 0, -Margin / 2, 0));
    int x = ground.left() + Margin;
    for (const ColourCodes::Run& run : name.runs) {
        const QString part = name.text.mid(run.start, run.length);
        painter->setPen(run.colour == ColourCodes::Plain ? ColourCodes::PaneText() : ColourCodes::PaneColour(run.colour));
        painter->drawText(QRect(x, ground.top(), ground.right() - x + 1, ground.height()),
            Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, part);
        x += metrics.horizontalAdvance(part);
    }
    painter->restore();
}

QSize NameDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QString text = ColourCodes::Strip(index.data(m_role).toString());
    size.setWidth(QFontMetrics(option.font).horizontalAdvance(text) + 2 * (Margin + Gap));
    return size;
}
