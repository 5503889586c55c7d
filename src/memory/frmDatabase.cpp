#include "memory/frmDatabase.h"

#include "memory/DatabaseChoice.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
QLabel* plainLabel(QWidget* parent, const char* name, const QString& text = QString())
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setTextFormat(Qt::PlainText);  // it may show a host name or a server's error
    l->setWordWrap(true);
    return l;
}
}

frmDatabase::frmDatabase(const Memory::DatabaseTarget& target, QWidget* parent)
    : QDialog(parent)
    , m_target(target)
{
    setObjectName(QStringLiteral("frmDatabase"));
    setWindowTitle(QStringLiteral("Team Database"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(plainLabel(this, "lblWhere",
        QStringLiteral("Where this program keeps what it remembers: the players seen, the journal of commands and the timed bans.")));
    optLocal = new QRadioButton(QStringLiteral("&Local file on this computer"), this);
    optLocal->setObjectName(QStringLiteral("optLocal"));
    optTeam = new QRadioButton(QStringLiteral("&Team database on a PostgreSQL server, shared with other admins"), this);
    optTeam->setObjectName(QStringLiteral("optTeam"));
    layout->addWidget(optLocal);
    layout->addWidget(optTeam);

    auto* form = new QFormLayout;
    txtUrl = new QLineEdit(this);
    txtUrl->setObjectName(QStringLiteral("txtUrl"));
    txtUrl->setPlaceholderText(QStringLiteral("postgresql://USER@HOST:PORT/DATABASE"));
    txtPassword = new QLineEdit(this);
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPassword->setPlaceholderText(QStringLiteral("empty: the keyring's, or ~/.pgpass"));
    auto label = [this](const QString& caption, QWidget* buddy) {
        auto* l = new QLabel(caption, this);
        l->setBuddy(buddy);
        return l;
    };
    form->addRow(label(QStringLiteral("&URL:"), txtUrl), txtUrl);
    form->addRow(label(QStringLiteral("&Password:"), txtPassword), txtPassword);
    layout->addLayout(form);
    lblTls = plainLabel(this, "lblTls");
    layout->addWidget(lblTls);
    chkTlsOff = new QCheckBox(QStringLiteral("Turn TLS o&ff for this server"), this);
    chkTlsOff->setObjectName(QStringLiteral("chkTlsOff"));
    layout->addWidget(chkTlsOff);
    lblProblem = plainLabel(this, "lblProblem");
    layout->addWidget(lblProblem);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    cmdTest = buttons->addButton(QStringLiteral("Te&st Connection"), QDialogButtonBox::ActionRole);
    cmdTest->setObjectName(QStringLiteral("cmdTest"));
    connect(buttons, &QDialogButtonBox::accepted, this, &frmDatabase::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &frmDatabase::reject);
    connect(cmdTest, &QPushButton::clicked, this, &frmDatabase::cmdTest_Click);
    layout->addWidget(buttons);

    // The URL without its sslmode: the box below says whether TLS is off.
    Memory::DatabaseTarget shown = target;
    shown.tlsOff = false;
    txtUrl->setText(shown.url());
    chkTlsOff->setChecked(target.tlsOff);
    (target.team ? optTeam : optLocal)->setChecked(true);
    connect(optTeam, &QRadioButton::toggled, this, &frmDatabase::showTls);
    connect(chkTlsOff, &QCheckBox::toggled, this, &frmDatabase::showTls);
    connect(txtUrl, &QLineEdit::textChanged, this, [this] {
        QString ignored;
        const std::optional<Memory::DatabaseTarget> t = Memory::ReadDatabaseUrl(txtUrl->text(), &ignored);
        if (t && t->tlsOff)
            chkTlsOff->setChecked(true);
        showTls();
    });
    showTls();
}

QString frmDatabase::password() const
{
    return m_target.team ? txtPassword->text() : QString();
}

void frmDatabase::showTls()
{
    const bool team = optTeam->isChecked();
    txtUrl->setEnabled(team);
    txtPassword->setEnabled(team);
    cmdTest->setEnabled(team);
    QString ignored;
    const std::optional<Memory::DatabaseTarget> t = Memory::ReadDatabaseUrl(txtUrl->text(), &ignored);
    const bool remote = team && t && t->team && !t->loopback();
    chkTlsOff->setVisible(remote);
    lblTls->setVisible(remote);
    if (remote && chkTlsOff->isChecked()) {
        lblTls->setText(QStringLiteral("Without TLS, anyone on the network between this computer and %1 can read the player "
                                       "history, the journal and the database password, and change what is sent.")
                            .arg(t->host));
    } else if (remote) {
        lblTls->setText(QStringLiteral("The connection to %1 is encrypted (TLS), as for every host that is not this computer: "
                                       "the server must offer TLS.")
                            .arg(t->host));
    }
    adjustSize();  // room for the lines shown, or none
}

std::optional<Memory::DatabaseTarget> frmDatabase::named()
{
    if (!optTeam->isChecked())
        return Memory::DatabaseTarget();
    QString problem;
    std::optional<Memory::DatabaseTarget> t = Memory::ReadDatabaseUrl(txtUrl->text(), &problem);
    if (t && !t->team)
        problem = QStringLiteral("A team database is named by a URL such as postgresql://USER@HOST:PORT/DATABASE.");
    if (!t || !t->team) {
        lblProblem->setText(problem);
        adjustSize();
        txtUrl->setFocus();
        return std::nullopt;
    }
    if (!t->loopback())
        t->tlsOff = chkTlsOff->isChecked();
    return t;
}

void frmDatabase::accept()
{
    const std::optional<Memory::DatabaseTarget> t = named();
    if (!t)
        return;
    m_target = *t;
    QDialog::accept();
}

void frmDatabase::cmdTest_Click()
{
    const std::optional<Memory::DatabaseTarget> t = named();
    if (!t)
        return;
    lblProblem->setText(QStringLiteral("Connecting to %1...").arg(t->host));
    lblProblem->repaint();
    auto test = [this, target = *t](const QString& password) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const QString problem = Memory::TestDatabaseConnection(target, password);
        lblProblem->setText(problem.isEmpty() ? QStringLiteral("The team database let the program in.") : problem);
        adjustSize();
        QApplication::restoreOverrideCursor();
    };
    if (!txtPassword->text().isEmpty())
        test(txtPassword->text());
    else
        Memory::ReadDatabasePassword(*t, this, test);
}
