#pragma once
#include <QMessageBox>
#include <QString>

class QWidget;

// Opens a file in the desktop's text editor. The file is looked for at each call; when it is not there, the given message is shown (OK only, with the given
// icon and title) and nothing starts. When the editor cannot be started, a message under the
// same title says so; the program goes on. Returns true when the editor was started.
bool OpenTextFile(QWidget* parent, const QString& path, QMessageBox::Icon missingIcon,
    const QString& missingMessage, const QString& title);

// A file of the program's folder.
QString ProgramFile(const QString& fileName);
