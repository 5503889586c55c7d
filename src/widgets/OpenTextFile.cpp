#include "widgets/OpenTextFile.h"

#include "log/LogFile.h"
#include "settings/ProgramInfo.h"
#include "widgets/Launcher.h"
#include "widgets/MessageBox.h"

#include <QFileInfo>

bool OpenTextFile(QWidget* parent, const QString& path, QMessageBox::Icon missingIcon,
    const QString& missingMessage, const QString& title)
{
    if (!QFileInfo(path).isFile()) {
        MessageBox::show(parent, missingMessage, title, QMessageBox::Ok, missingIcon);
        return false;
    }
    if (!Launcher::openFile(path)) {
        MessageBox::show(parent, QStringLiteral("No text editor could be started to open %1.").arg(path), title,
            QMessageBox::Ok, QMessageBox::Warning);
        return false;
    }
    return true;
}

QString ProgramFile(const QString& fileName)
{
    return CheckPath(ProgramInfo::programFolder()) + fileName;
}
