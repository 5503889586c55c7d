#include "widgets/BanDialog.h"

#include "console/BanDuration.h"
#include "settings/SettingsStore.h"
#include "widgets/MessageBox.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {
constexpr int ReasonsKept = 8;
bool answerSet = false;
std::optional<BanChoice> nextAnswer;
}

BanDialog::BanDialog(Kind kind, const QString& title, const QString& prompt, const QStringList& where, QWidget* parent)
    : QDialog(parent)
    , m_kind(kind)
{
    setObjectName(QStringLiteral("BanDialog"));
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(prompt, this);
    text->setTextFormat(Qt::PlainText);  // it may name a player
    text->setWordWrap(true);
    layout->addWidget(text);
    auto* form = new QFormLayout;
    auto label = [this](const QString& caption, QWidget* buddy) {
        auto* l = new QLabel(caption, this);
        l->setBuddy(buddy);
        return l;
    };
    txtAddress = new QLineEdit(this);
    txtAddress->setObjectName(QStringLiteral("txtAddress"));
    cboReason = new QComboBox(this);
    cboReason->setObjectName(QStringLiteral("cboReason"));
    cboReason->setEditable(true);
    cboReason->setInsertPolicy(QComboBox::NoInsert);
    cboReason->addItems(lastReasons());
    cboReason->setCurrentText(QString());
    cboDuration = new QComboBox(this);
    cboDuration->setObjectName(QStringLiteral("cboDuration"));
    cboDuration->setEditable(true);
    cboDuration->setInsertPolicy(QComboBox::NoInsert);
    cboDuration->addItems(BanDurationChoices());
    cboWhere = new QComboBox(this);
    cboWhere->setObjectName(QStringLiteral("cboWhere"));
    cboWhere->addItems(where);
    if (kind == Ban)
        form->addRow(label(QStringLiteral("&Address:"), txtAddress), txtAddress);
    form->addRow(label(QStringLiteral("&Reason:"), cboReason), cboReason);
    if (kind == Ban)
        form->addRow(label(QStringLiteral("&Duration:"), cboDuration), cboDuration);
    if (!where.isEmpty())
        form->addRow(label(QStringLiteral("&Where:"), cboWhere), cboWhere);
    txtAddress->setVisible(kind == Ban);
    cboDuration->setVisible(kind == Ban);
    cboWhere->setVisible(!where.isEmpty());
    layout->addLayout(form);
    lblProblem = new QLabel(this);
    lblProblem->setObjectName(QStringLiteral("lblProblem"));
    lblProblem->setTextFormat(Qt::PlainText);
    layout->addWidget(lblProblem);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &BanDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &BanDialog::reject);
    layout->addWidget(buttons);
}

BanChoice BanDialog::choice() const
{
    BanChoice c;
    c.address = txtAddress->text().trimmed();
    c.reason = cboReason->currentText().trimmed();
    c.durationMs = m_kind == Ban ? ReadBanDuration(cboDuration->currentText()) : 0;
    c.where = cboWhere->currentIndex();
    c.fixedAddress = txtAddress->isReadOnly();
    return c;
}

void BanDialog::accept()
{
    const QString refused = m_kind == Ban && m_refusal ? m_refusal(txtAddress->text()) : QString();
    if (!refused.isEmpty()) {
        lblProblem->setText(refused);
        txtAddress->setFocus();
        return;
    }
    if (choice().durationMs < 0) {
        lblProblem->setText(QStringLiteral("The duration is permanent, or a number and a unit: 90m, 12h, 3d, 1w."));
        cboDuration->setFocus();
        return;
    }
    QDialog::accept();
}

bool BanDialog::ask(Kind kind, QWidget* parent, const QString& title, const QString& prompt, const QStringList& where, BanChoice* choice,
    const Refusal& refusal)
{
    if (answerSet) {
        answerSet = false;
        if (!nextAnswer)
            return false;
        *choice = *nextAnswer;
    } else if (MessageBox::isRecording()) {
        // Tests that answer message boxes: the question is one of them, the rest as filled in.
        if (kind == Ban && choice->address.isEmpty()) {
            if (!MessageBox::askText(parent, prompt, title, &choice->address, refusal))
                return false;
        } else if (MessageBox::show(parent, prompt, title, QMessageBox::Yes | QMessageBox::No, QMessageBox::Question, QMessageBox::No)
            != QMessageBox::Yes) {
            return false;
        }
    } else {
        BanDialog dialog(kind, title, prompt, where, parent);
        dialog.m_refusal = refusal;
        dialog.txtAddress->setText(choice->address);
        dialog.txtAddress->setReadOnly(choice->fixedAddress);
        dialog.cboReason->setCurrentText(choice->reason);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        *choice = dialog.choice();
    }
    rememberReason(choice->reason);
    return true;
}

void BanDialog::setNextAnswer(std::optional<BanChoice> answer)
{
    answerSet = true;
    nextAnswer = std::move(answer);
}

QStringList BanDialog::lastReasons()
{
    return GetProgramSetting(Key::LastReasons).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void BanDialog::rememberReason(const QString& reason)
{
    const QString r = QString(reason).replace(QLatin1Char('\n'), QLatin1Char(' ')).trimmed();
    if (r.isEmpty())
        return;
    QStringList reasons = lastReasons();
    reasons.removeAll(r);
    reasons.prepend(r);
    SaveProgramSetting(Key::LastReasons, reasons.mid(0, ReasonsKept).join(QLatin1Char('\n')), When::Soon);
}
