#include "ui/frmMain.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("telmorax"));
    QApplication::setOrganizationName(QStringLiteral("Quillhaven"));
    frmMain window;
    window.show();
    return app.exec();
}
