#pragma once
#include "console/BoundServer.h"

#include <QLabel>
#include <QString>

class QBoxLayout;
class QWidget;

// What the windows bound to one server (Maps, Bans) build alike.

// A line of the window's own text above its list, named `name`: plain text (a server's text
// stands in it), selectable, one line high even while empty.
QLabel* AddInfoLine(QWidget* window, QBoxLayout* layout, const char* name);

// The line that says what keeps the window from reading: wrapped, in dark red.
void MakeProblemLine(QLabel* line);

// The server the main window's boxes name, read for a refresh of `window`: unset while the
// program closes or the window is hidden, and unset with `problemLine` saying what is missing
// when the boxes name no server or hold no password.
BoundServer ReadBoxesForRefresh(const QWidget* window, const MainWindowBoxReader& readBoxes, QLabel* problemLine);

// "1 ban", "3 bans": a count and its noun.
QString Counted(int n, const char* one, const char* many);

// Asks before an action goes to the server: Yes or No, No the default.
bool ConfirmAction(QWidget* window, const QString& question, const QString& title);

// The line under a window's list where the server's answer to the window's own latest action
// shows (it shows in the main window's pane too): plain text without colour codes, the first
// few lines of the answer.
class AnswerLine : public QLabel {
public:
    AnswerLine(QWidget* window, const char* name);
    // An action went to `server`; its answer comes through answered().
    void sent(const QString& server, const QString& command);
    // A datagram of the answer to an action of `window`, as the main window's pane shows it;
    // `first` starts the answer. An answer to another window's action is not this line's.
    void answered(QObject* window, const QString& text, bool first);
    // The exchange of an action of `window` is over. When it is this line's action and no
    // answer came, the line says so (it may or may not have run) and true comes back: the
    // window reads once more and tells what it found through found().
    bool unanswered(QObject* window, const QString& command, const ExchangeOutcome& outcome);
    // What the read after an unanswered action found ("The map is now oa_dm1."), after the
    // words that no answer came; nothing once another action went.
    void found(const QString& what);
    bool checking() const { return !m_unanswered.isEmpty(); }

private:
    QString m_server;
    QString m_command;
    QString m_answer;
    QString m_unanswered;  // the line saying no answer came, while the read after it is out
};
