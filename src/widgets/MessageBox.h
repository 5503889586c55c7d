#pragma once
#include <QList>
#include <QMessageBox>
#include <QString>

#include <functional>

// Every message box of the program goes through here. Its text is plain text, always: a
// question may name a player or quote a server, and markup in it (an image tag, a font size)
// must show as the characters it is, never be rendered. Tests switch it to recording mode:
// the box is built but not shown, each call is recorded as the box holds it, and the answer
// is the one set in advance (or the default button, or OK). Once the program has begun to
// close, no box opens and none is recorded: show() answers NoButton, askText() Cancel.
class MessageBox {
public:
    struct Shown {
        QString text;
        QString title;
        QMessageBox::StandardButtons buttons;
        QMessageBox::Icon icon;
        QMessageBox::StandardButton defaultButton;
        Qt::TextFormat textFormat;  // as the box's text (or the prompt's label) is set to show it
    };

    // A modal box. An empty title gives the program's title.
    static QMessageBox::StandardButton show(QWidget* parent, const QString& text, const QString& title = QString(),
        QMessageBox::StandardButtons buttons = QMessageBox::Ok, QMessageBox::Icon icon = QMessageBox::NoIcon,
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

    // A modal box that asks for one line of text, with OK and Cancel; false when cancelled.
    // Recorded like the others (text: the prompt); the answer is the next one set with
    // setNextText, and none set is Cancel. A text that `refusal` finds fault with (it says
    // why; "" for a text it takes) keeps the box open with that text to correct, the reason
    // under the prompt (recorded as one more box, answered by the next text set).
    static bool askText(QWidget* parent, const QString& prompt, const QString& title, QString* text,
        const std::function<QString(const QString&)>& refusal = nullptr);

    static void setRecording(bool on);
    static bool isRecording();
    static QList<Shown> takeShown();  // the boxes shown since the last call, oldest first
    static void setNextAnswer(QMessageBox::StandardButton answer);
    static void setNextText(const QString& text);
};
