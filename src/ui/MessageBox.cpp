#include "ui/MessageBox.h"
#include "console/Shutdown.h"
#include "settings/ProgramInfo.h"

#include <QInputDialog>

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
}

QMessageBox::StandardButton MessageBox::show(QWidget* parent, const QString& text, const QString& title,
    QMessageBox::StandardButtons buttons, QMessageBox::Icon icon, QMessageBox::StandardButton defaultButton)
{
    if (ShuttingDown())
        return QMessageBox::NoButton;  // no window opens once the program is closing
    const QString caption = title.isEmpty() ? ProgramInfo::Title : title;
    if (state().recording) {
        state().shown.append({text, caption, buttons, icon, defaultButton});
        if (!state().answers.isEmpty())
            return state().answers.takeFirst();
        return defaultButton != QMessageBox::NoButton ? defaultButton : QMessageBox::Ok;
    }
    QMessageBox box(icon, caption, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

bool MessageBox::askText(QWidget* parent, const QString& prompt, const QString& title, QString* text)
{
    if (ShuttingDown())
        return false;
    const QString caption = title.isEmpty() ? ProgramInfo::Title : title;
    if (state().recording) {
        state().shown.append({prompt, caption, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::NoIcon, QMessageBox::Ok});
        if (state().texts.isEmpty())
            return false;
        *text = state().texts.takeFirst();
        return true;
    }
    bool ok = false;
    const QString answer = QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, QString(), &ok);
    if (ok)
        *text = answer;
    return ok;
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
