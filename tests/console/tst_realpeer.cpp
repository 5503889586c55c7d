// The window against a real Quake 3 engine dedicated server on loopback.
#include "OpenArenaServer.h"
#include "TestEnv.h"

#include "console/OutputPane.h"
#include "ui/frmMain.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class RealPeerTest : public QObject {
    Q_OBJECT
private slots:
    void sendsStatusAndServerInfo()
    {
        TestEnv env;
        OpenArenaServer server(QStringLiteral("s3cret-pw"));
        QVERIFY2(server.start(), qPrintable(server.errorText()));

        frmMain w;
        w.txtAddr->setEditText(QStringLiteral("127.0.0.1"));
        w.txtPort->setEditText(QString::number(server.port()));
        w.txtPassword->setText(QStringLiteral("s3cret-pw"));
        w.Command2->click();
        // The server itself says it ran the command: the program reached a local server
        // even though that server holds the very port the program would like to bind.
        QVERIFY2(server.waitForOutput(QStringLiteral("Rcon from 127.0.0.1: status")), qPrintable(server.output().right(500)));
        w.Command1->click();
        QVERIFY(server.waitForOutput(QStringLiteral("Rcon from 127.0.0.1: serverinfo")));
        QTRY_VERIFY(w.txtOutput->text().contains(QStringLiteral("map: oa_dm1")));
    }
};

QTEST_MAIN(RealPeerTest)
#include "tst_realpeer.moc"
