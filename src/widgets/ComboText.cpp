#include "widgets/ComboText.h"

#include <QComboBox>

void SetComboText(QComboBox* box, const QString& text)
{
    const int item = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (item >= 0)
        box->setCurrentIndex(item);
    if (box->currentText() != text)
        box->setEditText(text);
}
