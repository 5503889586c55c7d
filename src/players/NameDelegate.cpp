#include "players/NameDelegate.h"

#include "console/ColourCodes.h"
#include "players/PlayersModel.h"

#include <QApplication>
#include <QPainter>

namespace {
constexpr int Margin = 4;      // text from the cell's edges
constexpr int FrameWidth = 2;  // the selection frame
}

void NameDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const bool selected = opt.state & QStyle::State_Selected;

    painter->save();
    QRect inner = opt.rect;
    if (selected) {
        const QPalette::ColorGroup group = opt.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
        painter->fillRect(opt.rect, opt.palette.brush(group, QPalette::Highlight));
        inner.adjust(FrameWidth, FrameWidth, -FrameWidth, -FrameWidth);
    }
    painter->fillRect(inner, background());

    const ColourCodes::Reading name = ColourCodes::Read(index.data(PlayersModel::NameWithCodesRole).toString());
    painter->setFont(opt.font);
    painter->setClipRect(inner);
    const QFontMetrics metrics(opt.font);
    int x = inner.left() + Margin;
    for (const ColourCodes::Run& run : name.runs) {
        const QString part = name.text.mid(run.start, run.length);
        painter->setPen(run.colour == ColourCodes::Plain ? plainText() : ColourCodes::PaneColour(run.colour));
        const QRect where(x, inner.top(), inner.right() - x, inner.height());
        painter->drawText(where, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, part);
        x += metrics.horizontalAdvance(part);
    }
    painter->restore();

    // The keyboard focus, drawn as the view draws it in every other cell.
    if (opt.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(opt);
        focus.rect = inner;
        focus.backgroundColor = background();
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
    }
}

QSize NameDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QString text = ColourCodes::Strip(index.data(PlayersModel::NameWithCodesRole).toString());
    size.setWidth(QFontMetrics(option.font).horizontalAdvance(text) + 2 * (Margin + FrameWidth));
    return size;
}
