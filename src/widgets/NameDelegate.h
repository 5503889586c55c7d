#pragma once
#include <QStyledItemDelegate>

// Draws a player's name in its colours: the colour codes read as the output pane reads them,
// in the pane's palette, on a ground of the pane's own dark blue just as wide as the name,
// so every colour a name can have stays readable (the game's white and yellow would vanish
// on a light table) while the row around it shows selection as every other row does.
// The text with its codes is the model's data in `role`. Where the model gives the cell a
// foreground of its own (a server's values greyed), the text is drawn in it, without colours.
class NameDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    NameDelegate(int role, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    int m_role;
};
