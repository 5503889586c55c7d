// The rcon password goes to the server and into the settings file when Save Password is
// checked, and nowhere else: not the pane, not the log, not the screen, no other file.
#include "LoopbackServer.h"
#include "TestEnv.h"

#include "console/OutputPane.h"
#include "ui/VbCheckBox.h"
#include "ui/frmMain.h"

#include <QComboBox>
#include <QDirIterator>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {
const QString Password = QStringLiteral("Zq7-secret-Pw");

// Every file below `folder` whose bytes hold the password.
QStringList filesHolding(const QString& folder)
{
    QStringList found;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        if (f.open(QIODevice::ReadOnly) && f.readAll().contains(Password.toLatin1()))
            found << path;
    }
    return found;
}

void aim(frmMain& w, const QString& host, quint16 port)
{
    w.txtAddr->setEditText(host);
    w.txtPort->setEditText(QString::number(port));
    w.txtPassword->setText(Password);
}
}

class PasswordTest : public QObject {
    Q_OBJECT
private slots:
    void neverLeaks()
    {
        for (const bool savePassword : {false, true}) {
            TestEnv env;
            LoopbackServer server;
            {
                frmMain w;
                w.ckLog->setValue(1);
                w.ckSavePwd->setValue(savePassword ? 1 : 0);
                aim(w, QStringLiteral("127.0.0.1"), server.port());

                // Commands the server answers, long answers included.
                int expected = 0;
                for (const QString& command : {QStringLiteral("status"), QStringLiteral("say hi")}) {
                    w.txtCommand->setText(command);
                    w.cmdConnect->click();
                    QVERIFY(server.waitForDatagrams(++expected));
                    server.reply(PrintReply("map: oa_dm1\nnum score ping name\n"));
                    server.reply(PrintReply("second part\n"));
                }
                w.Command1->click();
                w.Command2->click();
                expected += 2;
                QVERIFY(server.waitForDatagrams(expected));

                // Automatic queries, the tick driven by hand.
                w.txtMinutes->setText(QStringLiteral("0"));
                w.tmrMain_Timer();
                w.tmrMain_Timer();
                expected += 2;
                QVERIFY(server.waitForDatagrams(expected));
                server.reply(PrintReply("auto reply\n"));
                QTRY_VERIFY(w.txtOutput->text().contains(QStringLiteral("auto reply")));

                // The password really went out, in every request.
                for (const LoopbackServer::Datagram& d : server.received())
                    QVERIFY(d.data.contains(Password.toLatin1()));

                // Errors: a server that is not there (a port nobody holds on this machine,
                // the one case where a socket could hear its own request), and a name that
                // does not resolve.
                const quint16 closed = static_cast<quint16>(FreeUdpPort());
                aim(w, QStringLiteral("127.0.0.1"), closed);
                w.Command2->click();
                QTRY_VERIFY(w.txtOutput->text().contains(QStringLiteral("Connection refused")));
                w.tmrMain_Timer();
                aim(w, QStringLiteral("no-such-host.invalid"), server.port());
                const int before = w.txtOutput->text().size();
                w.Command2->click();
                QTRY_VERIFY_WITH_TIMEOUT(w.txtOutput->text().size() > before + 30, 15000);
                QTest::qWait(1200);  // the last reply's record ends after its quiet time

                QVERIFY(!w.txtOutput->text().contains(Password));
                const QByteArray log = env.readLog();
                QVERIFY(!log.contains(Password.toLatin1()));
                QVERIFY(log.contains("second part\r\n"));
                QVERIFY(log.contains("Connection refused\r\n"));
                // On screen the password box shows stars only.
                QCOMPARE(w.txtPassword->displayText(), QString(Password.size(), QLatin1Char('*')));
                QVERIFY(w.close());
            }
            // After the close: the settings file holds it only when it was asked to.
            QCOMPARE(filesHolding(env.programFolder()), QStringList());
            QCOMPARE(filesHolding(env.configHome()), savePassword ? QStringList{env.settingsFile()} : QStringList());
        }
    }
};

QTEST_MAIN(PasswordTest)
#include "tst_password.moc"
