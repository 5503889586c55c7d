#include "ui/OpenTextFile.h"

#include "settings/ProgramInfo.h"
#include "ui/Launcher.h"
#include "ui/MessageBox.h"

#include <QFileInfo>

bool OpenTextFile(QWidget* parent, const QString& fileName, QMessageBox::Icon missingIcon,
    const QString& missingMessage, const QString& title)
{
    const QString path = ProgramInfo::programFolder() + QLatin1Char('/') + fileName;
    if (!QFileInfo(path).isFile()) {
        MessageBox::show(parent, missingMessage, title, QMessageBox::Ok, missingIcon);
        return false;
    }
    if (!Launcher::openFile(path)) {
        MessageBox::show(parent, EditorFailedMessage(path), title, QMessageBox::Ok, QMessageBox::Warning);
        return false;
    }
    return true;
}

QString EditorFailedMessage(const QString& path)
{
    return QStringLiteral("No text editor could be started to open %1.").arg(path);
}
