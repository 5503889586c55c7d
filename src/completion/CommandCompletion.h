#pragma once
#include "completion/NameLists.h"
#include "console/BoundServer.h"

#include <QObject>

class QAbstractItemView;
class QCompleter;
class QStringListModel;
class CommandHistory;
class QLineEdit;
class NameRefresh;

// Completion in the main window's command box, and the commands of earlier runs for Up.
//
// While the first word is typed, a popup offers the command and variable names that begin
// with it; after set, seta, sets, setu, reset, toggle or unset, the second word's popup
// offers the variables. The names are those learned from the server that the address and
// port boxes name (View, Refresh Names From Server), else those of the reference lists
// beside the program. Completing only edits the box; it never sends.
class CommandCompletion : public QObject {
    Q_OBJECT
public:
    // Completes in `box`; the names are those of the server `boxes` name. The commands of
    // earlier runs go into `recall`; `refresh` learns a server's names (it is kept apart).
    CommandCompletion(QLineEdit* box, CommandHistory* recall, MainWindowBoxReader boxes, NameRefresh* refresh, QObject* parent);

    // A key pressed in the command box without modifiers, popup open or not, before the
    // window's own handling. True when completion used it:
    // - Tab: the highlighted name (or the first one offered) and a space take the word's
    //   place; with nothing offered Tab is left to move the focus;
    // - Escape: closes the popup (with it closed, the window empties the box);
    // - Up, Down: move in the popup (with it closed, the window recalls commands);
    // - Enter: takes the entry moved to with Up or Down (the popup opens with none
    //   highlighted); otherwise it closes the popup and is left to the window, which sends
    //   the box's text as it stands.
    bool keyPress(int key);

    QCompleter* completer() const { return m_completer; }
    // The names offered for the server that the address and port boxes name now.
    NameLists currentNames();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updatePopup();
    void take(const QString& name);
    void move(int step);
    QAbstractItemView* popup() const;

    QLineEdit* m_box;
    CommandHistory* m_recall;
    MainWindowBoxReader m_boxes;
    QCompleter* m_completer;
    QStringListModel* m_model;
    NameRefresh* m_refresh;
    QString m_namesFile;   // whose names m_names holds ("" for the reference lists)
    bool m_haveNames = false;
    NameLists m_names;
    bool m_haveReference = false;
    NameLists m_reference;
};
