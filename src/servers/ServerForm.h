#pragma once
#include "console/ServerList.h"

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;

// The small form of Add... and Edit...: a server's label, address, port, group and rcon
// password. The address box takes "host:port" as server lists write it. The password box
// starts empty; when editing, an empty box keeps the password saved for the server.
class ServerForm : public QDialog {
    Q_OBJECT
public:
    explicit ServerForm(const QString& title, QWidget* parent = nullptr);

    // Fills the boxes with a server of the list.
    void setServer(const SavedServer& server);
    // Where the form is to keep a saved password when its box is left empty.
    void setPasswordKept(bool kept);
    // A check of the server the boxes make, at OK: what it says ("" for none) keeps the form
    // open, with the boxes as typed, and shows on its problem line.
    void setRefusal(std::function<QString(const SavedServer&)> refusal) { m_refusal = std::move(refusal); }

    // What the boxes held when OK closed the form, read as a server.
    SavedServer server() const { return m_server; }
    QString password() const;

    QLineEdit* txtLabel = nullptr;
    QLineEdit* txtAddress = nullptr;
    QLineEdit* txtPort = nullptr;
    QLineEdit* txtGroup = nullptr;
    QLineEdit* txtPassword = nullptr;
    QLabel* lblProblem = nullptr;  // what keeps OK from closing the form

    // OK: closes the form only when the address and port make a server that the check takes.
    void accept() override;

private:
    SavedServer m_server;
    std::function<QString(const SavedServer&)> m_refusal;
};
