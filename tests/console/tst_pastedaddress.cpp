// Addresses pasted the way server lists write them, against a real server listening on
// IPv6 loopback: "[::1]:PORT" reaches it, the port moves into the port box, and the address
// box and the history keep the host alone.
#include "../log/ExchangeRig.h"
#include "OpenArenaServer.h"
#include "TestEnv.h"

#include "settings/SettingsStore.h"
#include "widgets/MessageBox.h"

#include <QtTest>

class PastedAddressTest : public QObject {
    Q_OBJECT
private slots:
    void hostAndPortInTheAddressBox()
    {
        TestEnv env;
        OpenArenaServer server(QStringLiteral("v6-pw"));
        server.listenOnIPv6Too();
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        const QString port = QString::number(server.port());

        frmMain w;
        AimAt(w, 27960, server.password(), QStringLiteral("[::1]:") + port);
        SendCommand(w, QStringLiteral("status"));
        QVERIFY2(server.waitForOutput(QStringLiteral("Rcon from ::1: status")), qPrintable(server.output().right(300)));
        QTRY_VERIFY(ui(w).txtOutput->text().contains(QStringLiteral("map: oa_dm1")));
        QCOMPARE(ui(w).txtPort->currentText(), port);
        QCOMPARE(ui(w).txtAddr->currentText(), QStringLiteral("::1"));
        QCOMPARE(ui(w).txtAddr->itemText(0), QStringLiteral("::1"));
        QCOMPARE(GetProgramSetting(Key::ServerAddr), QStringLiteral("::1"));
        QCOMPARE(GetProgramSetting(Key::AddressSlot(1)), QStringLiteral("::1"));
        QCOMPARE(GetProgramSetting(Key::PortSlot(1)), port);

        // The bare address left in the box reaches the same server on the next send.
        QTest::qWait(1100);
        ui(w).txtOutput->setText(QString());
        SendCommand(w, QStringLiteral("serverinfo"));
        QTRY_VERIFY(ui(w).txtOutput->text().contains(QStringLiteral("sv_hostname")));

        // A port part that is no port: the port range message, the address box to correct,
        // nothing sent and the port box left alone.
        const quint64 sent = w.session()->lastRequest();
        MessageBox::takeShown();
        for (const char* text : {"203.0.113.7:0", "[::1]:65536", "quake.example:abc"}) {
            ui(w).txtAddr->setEditText(QLatin1String(text));
            SendCommand(w, QStringLiteral("status"));
            const QList<MessageBox::Shown> shown = MessageBox::takeShown();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].text, QStringLiteral("The server port must be a number from 1 to 65535."));
            QCOMPARE(ui(w).txtPort->currentText(), port);
        }
        QCOMPARE(w.session()->lastRequest(), sent);

        // The timed query reads the address box the same way.
        QTest::qWait(1100);
        ui(w).txtAddr->setEditText(QStringLiteral("[::1]:") + port);
        ui(w).txtPort->setEditText(QStringLiteral("1"));
        ui(w).txtOutput->setText(QString());
        w.GetStatus();
        QTRY_VERIFY(ui(w).txtOutput->text().contains(QStringLiteral("map: oa_dm1")));
        QCOMPARE(ui(w).txtPort->currentText(), port);
    }
};

QTEST_MAIN(PastedAddressTest)
#include "tst_pastedaddress.moc"
