#pragma once
#include "memory/DatabaseTarget.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// Where the memory lives: the local file, or a team database on a PostgreSQL server that
// other admins' programs share. The URL is kept in the settings; a password typed here goes to
// the keyring, and an empty box leaves the keyring's (or libpq's ~/.pgpass) as it is. For a
// host that is not this computer the dialog says that TLS is required, and offers to turn it
// off knowingly, with what that costs. OK keeps the choice only when the URL reads.
class frmDatabase : public QDialog {
    Q_OBJECT
public:
    // Filled in with `target`.
    explicit frmDatabase(const Memory::DatabaseTarget& target, QWidget* parent = nullptr);

    QRadioButton* optLocal = nullptr;
    QRadioButton* optTeam = nullptr;
    QLineEdit* txtUrl = nullptr;
    QLineEdit* txtPassword = nullptr;
    QLabel* lblTls = nullptr;
    QCheckBox* chkTlsOff = nullptr;
    QPushButton* cmdTest = nullptr;
    QLabel* lblProblem = nullptr;

    // The choice once accepted: the target, and the password typed (empty when none).
    Memory::DatabaseTarget target() const { return m_target; }
    QString password() const;

    void accept() override;
    void cmdTest_Click();

private:
    // The target the boxes name, or nothing (and lblProblem says why).
    std::optional<Memory::DatabaseTarget> named();
    void showTls();

    Memory::DatabaseTarget m_target;
};
