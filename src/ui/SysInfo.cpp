#include "ui/SysInfo.h"

#include <QStandardPaths>

QStringList SysInfo::Candidates()
{
    // Graphical system information tools of the Linux desktops: HardInfo (both generations),
    // KDE's Info Center, CPU-X and I-Nex.
    return {QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"), QStringLiteral("kinfocenter"),
        QStringLiteral("cpu-x"), QStringLiteral("i-nex")};
}

QString SysInfo::FindProgram()
{
    for (const QString& name : Candidates()) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty())
            return path;
    }
    return QString();
}
