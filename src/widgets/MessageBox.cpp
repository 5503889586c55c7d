#include "widgets/MessageBox.h"
#include "settings/Shutdown.h"
#include "settings/ProgramInfo.h"

#include <QInputDialog>
#include <QLabel>

namespace {
struct State {
    bool recording = false;
    QList<MessageBox::Shown> shown;
    QList<QMessageBox::StandardButton> answers;
    QStringList texts;
};
State& state()
{
    static State s;
    return s;
}

QString withReason(const QString& prompt, const QString& reason)
{
    return prompt + QStringLiteral("\n\n") + reason;
}

// OK with a text the check refuses keeps the box open, the text as typed and the reason said.
class CheckedInputDialog : public QInputDialog {
public:
    CheckedInputDialog(QWidget* parent, const QString& prompt, const std::function<QString(const QString&)>& refusal)
        : QInputDialog(parent)
        , m_prompt(prompt)
        , m_refusal(refusal)
    {
    }
    void done(int result) override
    {
        const QString reason = result == Accepted && m_refusal ? m_refusal(textValue()) : QString();
        if (reason.isEmpty()) {
            QInputDialog::done(result);
            return;
        }
        setLabelText(withReason(m_prompt, reason));
    }

private:
    QString m_prompt;
    std::function<QString(const QString&)> m_refusal;
};
}

QMessageBox::StandardButton MessageBox::show(QWidget* parent, const QString& text, const QString& title,
    QMessageBox::StandardButtons buttons, QMessageBox::Icon icon, QMessageBox::StandardButton defaultButton)
{
    if (ShuttingDown())
        return QMessageBox::NoButton;  // no window opens once the program is closing
    const QString caption = title.isEmpty() ? ProgramInfo::Title : title;
    // The format is set before the text: text that looks like markup is never parsed as such.
    QMessageBox box(icon, caption, QString(), buttons, parent);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    if (state().recording) {
        state().shown.append({box.text(), caption, buttons, icon, defaultButton, box.textFormat()});
        if (!state().answers.isEmpty())
            return state().answers.takeFirst();
        return defaultButton != QMessageBox::NoButton ? defaultButton : QMessageBox::Ok;
    }
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

bool MessageBox::askText(QWidget* parent, const QString& prompt, const QString& title, QString* text,
    const std::function<QString(const QString&)>& refusal)
{
    if (ShuttingDown())
        return false;
    CheckedInputDialog dialog(parent, prompt, refusal);
    dialog.setWindowTitle(title.isEmpty() ? ProgramInfo::Title : title);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setLabelText(QString());  // makes its label, whose format is set before the text
    QLabel* label = dialog.findChild<QLabel*>();
    if (label)
        label->setTextFormat(Qt::PlainText);
    dialog.setLabelText(prompt);
    if (state().recording) {
        state().shown.append({label ? label->text() : QString(), dialog.windowTitle(), QMessageBox::Ok | QMessageBox::Cancel,
            QMessageBox::NoIcon, QMessageBox::Ok, label ? label->textFormat() : Qt::AutoText});
        while (!state().texts.isEmpty()) {
            *text = state().texts.takeFirst();
            const QString reason = refusal ? refusal(*text) : QString();
            if (reason.isEmpty())
                return true;
            dialog.setLabelText(withReason(prompt, reason));
            state().shown.append({label ? label->text() : QString(), dialog.windowTitle(), QMessageBox::Ok | QMessageBox::Cancel,
                QMessageBox::NoIcon, QMessageBox::Ok, label ? label->textFormat() : Qt::AutoText});
        }
        return false;
    }
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *text = dialog.textValue();
    return true;
}

bool MessageBox::isRecording()
{
    return state().recording;
}

void MessageBox::setRecording(bool on)
{
    state().recording = on;
    state().shown.clear();
    state().answers.clear();
    state().texts.clear();
}

QList<MessageBox::Shown> MessageBox::takeShown()
{
    QList<Shown> out;
    out.swap(state().shown);
    return out;
}

void MessageBox::setNextAnswer(QMessageBox::StandardButton answer)
{
    state().answers.append(answer);
}

void MessageBox::setNextText(const QString& text)
{
    state().texts.append(text);
}
