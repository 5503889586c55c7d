#include "servers/ServerForm.h"

#include "console/ServerAddress.h"
#include "console/RconDatagram.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

ServerForm::ServerForm(const QString& title, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ServerForm"));
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    auto box = [this, form](const char* name, const QString& caption) {
        auto* b = new QLineEdit(this);
        b->setObjectName(QLatin1String(name));
        auto* label = new QLabel(this);
        label->setTextFormat(Qt::PlainText);
        label->setText(caption);
        label->setBuddy(b);
        form->addRow(label, b);
        return b;
    };
    txtLabel = box("txtLabel", QStringLiteral("&Label:"));
    txtLabel->setPlaceholderText(QStringLiteral("the address"));
    txtAddress = box("txtAddress", QStringLiteral("A&ddress:"));
    txtPort = box("txtPort", QStringLiteral("&Port:"));
    txtPort->setText(QStringLiteral("27960"));
    txtGroup = box("txtGroup", QStringLiteral("&Group:"));
    txtGroup->setPlaceholderText(QStringLiteral("none"));
    txtPassword = box("txtPassword", QStringLiteral("&Rcon password:"));
    txtPassword->setEchoMode(QLineEdit::Password);
    layout->addLayout(form);
    lblProblem = new QLabel(this);
    lblProblem->setObjectName(QStringLiteral("lblProblem"));
    lblProblem->setTextFormat(Qt::PlainText);
    lblProblem->setWordWrap(true);
    layout->addWidget(lblProblem);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &ServerForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ServerForm::reject);
    layout->addWidget(buttons);
}

void ServerForm::setServer(const SavedServer& server)
{
    txtLabel->setText(server.label == server.address() ? QString() : server.label);
    txtAddress->setText(server.host);
    txtPort->setText(QString::number(server.port));
    txtGroup->setText(server.group);
}

void ServerForm::setPasswordKept(bool kept)
{
    txtPassword->setPlaceholderText(kept ? QStringLiteral("unchanged") : QStringLiteral("none saved"));
}

QString ServerForm::password() const
{
    return TrimSpaces(txtPassword->text());
}

void ServerForm::accept()
{
    const ServerBoxes boxes = ReadServerBoxes(TrimSpaces(txtAddress->text()), TrimSpaces(txtPort->text()));
    if (boxes.problemBox != ServerBoxes::None) {
        lblProblem->setText(boxes.problem);
        (boxes.problemBox == ServerBoxes::AddressBox ? txtAddress : txtPort)->setFocus();
        return;
    }
    SavedServer server;
    server.host = boxes.host;
    server.port = boxes.port;
    server.group = txtGroup->text().trimmed();
    server.label = txtLabel->text().trimmed().isEmpty() ? server.address() : txtLabel->text().trimmed();
    const QString refused = m_refusal ? m_refusal(server) : QString();
    if (!refused.isEmpty()) {
        lblProblem->setText(refused);
        txtAddress->setFocus();
        return;
    }
    m_server = server;
    QDialog::accept();
}
