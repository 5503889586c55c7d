#pragma once
// Drives the real window against a stand-in server on loopback.
#include "LoopbackServer.h"
#include "TestEnv.h"
#include "widgets/OutputPane.h"
#include "console/TimeOfDay.h"
#include "widgets/MessageBox.h"
#include "widgets/VbCheckBox.h"
#include "ui/frmMain.h"
#include "MainWindowControls.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

// What a request datagram starts with.
inline QByteArray Request(const QByteArray& passwordAndCommand)
{
    return QByteArray("\xff\xff\xff\xff" "rcon ", 9) + passwordAndCommand;
}

inline void AimAt(frmMain& w, quint16 port, const QString& password = QStringLiteral("pw"),
    const QString& host = QStringLiteral("127.0.0.1"))
{
    ui(w).txtAddr->setEditText(host);
    ui(w).txtPort->setEditText(QString::number(port));
    ui(w).txtPassword->setText(password);
}

inline void SendCommand(frmMain& w, const QString& command)
{
    ui(w).txtCommand->setText(command);
    ui(w).cmdConnect->click();
}

// The echo line and command record text for `command` at the test's fixed time.
inline QString Echo(const QString& command)
{
    return TimeOfDay() + QStringLiteral(" : ") + command;
}

// One exchange with Save Log checked, the `nth` request the server gets; returns what it
// adds to the log.
inline QByteArray LoggedExchange(frmMain& w, LoopbackServer& server, int nth)
{
    ui(w).ckLog->setValue(1);
    AimAt(w, server.port());
    SendCommand(w, QStringLiteral("say hi"));
    if (!server.waitForDatagrams(nth))
        return "no request reached the server";
    server.reply(PrintReply("console: hi\n"));
    return Echo(QStringLiteral("say hi")).toLatin1() + "\r\nconsole: hi\r\n\r\n";
}
