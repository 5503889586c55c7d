// The window against a real Quake 3 engine dedicated server on loopback.
#include "OpenArenaServer.h"
#include "TestEnv.h"

#include "console/OutputPane.h"
#include "console/UdpClient.h"
#include "ui/frmMain.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

class RealPeerTest : public QObject {
    Q_OBJECT
private slots:
    void serverRunsWhatTheWindowSends()
    {
        TestEnv env;
        OpenArenaServer server(QStringLiteral("s3cret-pw"));
        QVERIFY2(server.start(), qPrintable(server.errorText()));

        frmMain w;
        QSignalSpy errors(w.udpClient, &UdpClient::error);
        w.txtAddr->setEditText(QStringLiteral("127.0.0.1"));
        w.txtPort->setEditText(QString::number(server.port()));
        w.txtPassword->setText(QStringLiteral("s3cret-pw"));

        // Status: the server itself says it ran the command, and its answer reaches the pane.
        w.Command2->click();
        QVERIFY2(server.waitForOutput(QStringLiteral("Rcon from 127.0.0.1: status")), qPrintable(server.output().right(500)));
        QTRY_VERIFY(w.txtOutput->text().contains(QStringLiteral("map: oa_dm1")));
        // The server holds the very port the program would like to bind on this machine:
        // the program sent from another port and was heard all the same.
        QVERIFY(w.udpClient->boundLocalPort() != 0);
        QVERIFY(w.udpClient->boundLocalPort() != server.port());

        // Server Info, through the Commands menu.
        w.mnuCommandsServerInfo->trigger();
        QVERIFY(server.waitForOutput(QStringLiteral("Rcon from 127.0.0.1: serverinfo")));
        QTRY_VERIFY(w.txtOutput->text().contains(QStringLiteral("Server info settings:")));

        // A typed command with arguments, sent with Enter, without its outer spaces (the
        // server prints the command's words joined by single spaces).
        w.txtCommand->setText(QStringLiteral("  echo hello there "));
        QTest::keyClick(w.txtCommand, Qt::Key_Return);
        QVERIFY2(server.waitForOutput(QStringLiteral("Rcon from 127.0.0.1: echo hello there\n")), qPrintable(server.output().right(600)));
        QTRY_VERIFY(w.txtOutput->text().contains(QStringLiteral(" : echo hello there\r\nhello there\r\n")));

        // A wrong password: the server refuses and says so.
        QTest::qWait(1100);  // the server answers about one request a second after a burst
        w.txtPassword->setText(QStringLiteral("wrong"));
        w.Command2->click();
        QTRY_VERIFY_WITH_TIMEOUT(w.txtOutput->text().contains(QStringLiteral("Bad rconpassword.")), 10000);
        QVERIFY(server.waitForOutput(QStringLiteral("Bad rcon from 127.0.0.1")));
        QCOMPARE(errors.size(), 0);
    }
};

QTEST_MAIN(RealPeerTest)
#include "tst_realpeer.moc"
