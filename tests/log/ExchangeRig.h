#pragma once
// Drives the real window against a stand-in server on loopback.
#include "console/OutputPane.h"
#include "console/TimeOfDay.h"
#include "ui/frmMain.h"
#include "ui/VbCheckBox.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

inline void AimAt(frmMain& w, quint16 port, const QString& password = QStringLiteral("pw"))
{
    w.txtAddr->setEditText(QStringLiteral("127.0.0.1"));
    w.txtPort->setEditText(QString::number(port));
    w.txtPassword->setText(password);
}

inline void SendCommand(frmMain& w, const QString& command)
{
    w.txtCommand->setText(command);
    w.cmdConnect->click();
}

// The echo line and command record text for `command` at the test's fixed time.
inline QString Echo(const QString& command)
{
    return TimeOfDay() + QStringLiteral(" : ") + command;
}
