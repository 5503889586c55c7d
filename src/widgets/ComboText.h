#pragma once
class QComboBox;
class QString;

// Puts a text into an editable combo box. A text that is exactly one of the list's items
// makes that item the current one; any other text goes into the edit field only, and the
// list is left alone, so no item is picked by accident.
void SetComboText(QComboBox* box, const QString& text);
