#pragma once
#include "console/BoundServer.h"

#include <QString>

class QBoxLayout;
class QLabel;
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

// Asks before an action goes to the server: Yes or No, No the default.
bool ConfirmAction(QWidget* window, const QString& question, const QString& title);
