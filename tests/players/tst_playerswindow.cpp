// The Players window against a real OpenArena server on loopback with two bots and a client
// stuck connecting: opened from the Commands menu it shows all three, kicks a bot and the
// connecting client through its Kick action, and says on its own
// line what keeps it from reading the table. The server answers about one request a second
// after a short burst, so the requests are paced.
#include "../log/ExchangeRig.h"
#include "ConnectingClient.h"
#include "OpenArenaServer.h"
#include "TestEnv.h"

#include "completion/ServerCommands.h"
#include "players/PlayersModel.h"
#include "players/frmPlayers.h"
#include "settings/SettingsStore.h"
#include "widgets/MessageBox.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QHeaderView>
#include <QLabel>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QTableView>
#include <QtTest>

namespace {
// The names as the table shows them, top to bottom.
QStringList names(const frmPlayers* p)
{
    QStringList out;
    for (int r = 0; r < p->sortedPlayers->rowCount(); ++r)
        out << p->sortedPlayers->index(r, PlayersModel::Name).data().toString();
    return out;
}
}

class PlayersWindowTest : public QObject {
    Q_OBJECT
private slots:
    void kicksABotOfARealServer()
    {
        TestEnv env;
        OpenArenaServer server(QStringLiteral("pl-s3cret"));
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        server.rcon(QStringLiteral("addbot Sarge 2"));
        QTest::qWait(1100);
        server.rcon(QStringLiteral("addbot Major 2 free 0 \"^1Big ^3Bad Wolf\""));
        QCOMPARE(ConnectAndStall(server.port(), "HumanBob"), QString());

        frmMain w;
        AimAt(w, server.port(), server.password());
        ui(w).ckLog->setValue(1);
        ui(w).txtCommand->setText(QStringLiteral("typed by hand"));
        ui(w).mnuCommandsPlayers->trigger();
        frmPlayers* p = w.findChild<frmPlayers*>();
        QVERIFY(p && p->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(names(p), QStringList({QStringLiteral("Sarge"), QStringLiteral("Big Bad Wolf"), QStringLiteral("HumanBob")}), 10000);
        QVERIFY2(p->lblSummary->text().contains(QStringLiteral("map oa_dm1 \u00b7 1 player (1 connecting), 2 bots \u00b7 read at 12:34:56")),
            qPrintable(p->lblSummary->text()));
        ui(w).mnuCommandsPlayers->trigger();  // the same window again
        QCOMPARE(w.findChildren<frmPlayers*>().size(), 1);

        // Sorted by name and the wolf selected: both stay through a refresh.
        p->grdPlayers->sortByColumn(PlayersModel::Name, Qt::AscendingOrder);
        p->grdPlayers->selectRow(0);
        QSignalSpy refreshed(p->players, &QAbstractItemModel::modelReset);
        p->cmdRefresh->click();
        QTest::qWait(200);
        QCOMPARE(refreshed.size(), 0);  // held back: less than two seconds since the last
        QTRY_COMPARE_WITH_TIMEOUT(refreshed.size(), 1, 10000);
        QCOMPARE(names(p), QStringList({QStringLiteral("Big Bad Wolf"), QStringLiteral("HumanBob"), QStringLiteral("Sarge")}));
        QVERIFY(p->SelectedPlayer() && p->SelectedPlayer()->name == QStringLiteral("^1Big ^3Bad Wolf"));
        // Offered once the server's command list is in; Ban not for a bot, which has no IP.
        QTRY_VERIFY_WITH_TIMEOUT(p->cmdKick->isEnabled() && p->cmdMessage->isEnabled(), 10000);
        QVERIFY(!p->cmdBan->isEnabled() && !p->mnuBan->isEnabled() && p->serverCommands->has(QStringLiteral("banaddr")));
        p->cmdCopyName->click();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("Big Bad Wolf"));

        // A message with ";" and quotes reaches the player as one command, sent by the main window.
        MessageBox::setNextText(QStringLiteral("gg; \"wp\""));
        p->cmdMessage->click();
        const QString tell = Echo(QStringLiteral("tell 1 \"gg; 'wp'\"")) + QStringLiteral("\r\nconsole_tell: gg; 'wp'\r\n");
        QTRY_VERIFY_WITH_TIMEOUT(ui(w).txtOutput->text().contains(tell), 10000);
        QCOMPARE(ui(w).txtCommand->text(), QStringLiteral("typed by hand"));

        // Kick asks first, naming the player without codes, No the default; No sends nothing.
        MessageBox::takeShown();
        MessageBox::setNextAnswer(QMessageBox::No);
        p->mnuKick->trigger();
        const QList<MessageBox::Shown> asked = MessageBox::takeShown();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked.first().text, QStringLiteral("Kick Big Bad Wolf (client 1) off 127.0.0.1:%1?").arg(server.port()));
        QCOMPARE(asked.first().buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(asked.first().defaultButton, QMessageBox::No);
        QTest::qWait(1100);
        QVERIFY(!ui(w).txtOutput->text().contains(QStringLiteral("clientkick")));
        MessageBox::setNextAnswer(QMessageBox::Yes);
        p->cmdKick->click();
        QCOMPARE(MessageBox::takeShown().size(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(ui(w).txtOutput->text().contains(QStringLiteral("Wolf^7 was kicked")), 10000);
        QVERIFY(ui(w).txtOutput->text().contains(Echo(QStringLiteral("clientkick 1")) + QStringLiteral("\r\n")));
        // The answer on the window's own line too, without its colour codes.
        QTRY_VERIFY2_WITH_TIMEOUT(p->lblAnswer->text().startsWith(QStringLiteral("127.0.0.1:%1 answered `clientkick 1`: ").arg(server.port())),
            qPrintable(p->lblAnswer->text()), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(names(p), QStringList({QStringLiteral("HumanBob"), QStringLiteral("Sarge")}), 10000);

        // The client still connecting: listed with its state, kicked, and its slot freed.
        p->grdPlayers->selectRow(0);
        QCOMPARE(p->sortedPlayers->index(0, PlayersModel::Ping).data().toString(), QStringLiteral("connecting"));
        QCOMPARE(p->sortedPlayers->index(0, PlayersModel::Address).data().toString(), QStringLiteral("127.0.0.1"));
        QVERIFY(p->cmdKick->isEnabled() && p->cmdBan->isEnabled());
        QTest::qWait(2100);
        MessageBox::setNextAnswer(QMessageBox::Yes);
        p->cmdKick->click();
        QCOMPARE(MessageBox::takeShown().value(0).text, QStringLiteral("Kick HumanBob (client 2) off 127.0.0.1:%1?").arg(server.port()));
        QTRY_VERIFY_WITH_TIMEOUT(ui(w).txtOutput->text().contains(QStringLiteral("HumanBob^7 was kicked")), 10000);
        QVERIFY(ui(w).txtOutput->text().contains(Echo(QStringLiteral("clientkick 2")) + QStringLiteral("\r\n")));
        QTRY_COMPARE_WITH_TIMEOUT(names(p), QStringList({QStringLiteral("Sarge")}), 10000);
        QByteArray status;
        for (QDeadlineTimer gone(15000); !gone.hasExpired() && !(status.contains("map: oa_dm1") && !status.contains("127.0.0.1"));)
            status = server.rcon(QStringLiteral("status"), 1100);
        QVERIFY2(status.contains("map: oa_dm1") && !status.contains("127.0.0.1"), status.constData());
        // The window's own queries reach neither the pane nor the log; its commands reach both.
        QVERIFY(!ui(w).txtOutput->text().contains(QStringLiteral("map: oa_dm1")));
        QVERIFY(env.readLog().contains("clientkick 1") && env.readLog().contains("clientkick 2") && !env.readLog().contains("status"));

        // A wrong password and a server gone: said on the line above, the table kept.
        QTest::qWait(2100);
        ui(w).txtPassword->setText(QStringLiteral("wrong"));
        p->cmdRefresh->click();
        QTRY_COMPARE_WITH_TIMEOUT(p->lblProblem->text(),
            QStringLiteral("127.0.0.1:%1 answered: Bad rconpassword.  The table below was read at 12:34:56.").arg(server.port()), 10000);
        ui(w).txtPassword->setText(server.password());
        server.stop();
        QTest::qWait(2100);
        p->cmdRefresh->click();
        QTRY_VERIFY_WITH_TIMEOUT(!p->lblProblem->text().contains(QStringLiteral("rconpassword")), 10000);
        QVERIFY2(p->lblProblem->text().startsWith(QStringLiteral("127.0.0.1:%1: ").arg(server.port())), qPrintable(p->lblProblem->text()));
        QCOMPARE(names(p), QStringList({QStringLiteral("Sarge")}));
        QVERIFY(p->isVisible() && MessageBox::takeShown().isEmpty());

        // What the window keeps, and never the password.
        p->txtRefreshSeconds->setValue(0);
        p->close();
        QCOMPARE(GetProgramSetting(Key::PlayersRefreshSeconds), QStringLiteral("0"));
        QVERIFY(!GetProgramSetting(Key::PlayersColumns).isEmpty());
        QVERIFY(!ReadFile(env.settingsFile()).contains("pl-s3cret"));
        frmMain again;
        ui(again).mnuCommandsPlayers->trigger();
        QCOMPARE(again.findChild<frmPlayers*>()->txtRefreshSeconds->value(), 0);
        QCOMPARE(again.findChild<frmPlayers*>()->grdPlayers->horizontalHeader()->sortIndicatorSection(), int(PlayersModel::Name));
    }
};

QTEST_MAIN(PlayersWindowTest)
#include "tst_playerswindow.moc"
