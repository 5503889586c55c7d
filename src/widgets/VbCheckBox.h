#pragma once
#include <QCheckBox>

// A check box with the values 0 (unchecked), 1 (checked) and 2 (grayed). A user's click
// sets only 0 or 1; the grayed value comes only from code (a restored setting).
class VbCheckBox : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;

    int value() const;
    // Values other than 0, 1 and 2 are refused: false, and nothing changes.
    bool setValue(int value);

protected:
    void nextCheckState() override;
};
