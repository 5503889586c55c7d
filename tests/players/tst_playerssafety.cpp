// The Players window turned against the admin, and kept from it: hostile names shown as the
// characters they are, a slot that changed hands between the table and the command, commands
// a server lacks, and boxes that name another server by the time a command goes. Stand-in
// servers on loopback, and the real OpenArena server with a stand-in beside it.
//
// The process runs under a memory limit: a name read as markup (an image from /dev/zero)
// then fails the test with an allocation failure instead of eating the machine's memory.
#include "../log/ExchangeRig.h"
#include "OpenArenaServer.h"
#include "ScriptedServer.h"

#include "completion/ServerCommands.h"
#include "players/PlayersModel.h"
#include "players/frmPlayers.h"
#include "console/ServerList.h"
#include "settings/SettingsStore.h"

#include <QAction>
#include <QHelpEvent>
#include <QLabel>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTextDocument>
#include <QtTest>

#include <sys/resource.h>

namespace {
// A table ends with an empty line, after its rows.
const QByteArray OpenArenaHeader = "map: oa_dm1\n"
                                   "cl score ping name            address                                 rate \n"
                                   "-- ----- ---- --------------- --------------------------------------- -----\n";
const QByteArray AllCommands = "clientkick\ntell\nbanaddr\nstatus\n4 commands\n";

QByteArray row(int client, const QByteArray& name, const QByteArray& address)
{
    // The server pads a name to 16 characters, with at least one space.
    return QByteArray::number(client).rightJustified(2) + "     0   40 " + (name + ' ').leftJustified(16) + "^7"
        + address.leftJustified(40) + "25000\n";
}

// A Players window reading the stand-in, with no automatic refresh.
struct Rig {
    ScriptedServer server;
    std::unique_ptr<frmPlayers> window;
    QSignalSpy* chosen = nullptr;

    explicit Rig(const QList<QByteArray>& tables, const QByteArray& commands = AllCommands)
    {
        server.answer(QStringLiteral("status"), tables);
        server.answer(QStringLiteral("cmdlist"), {commands});
        SaveProgramSetting(Key::PlayersRefreshSeconds, QStringLiteral("0"));
        window = std::make_unique<frmPlayers>([this] {
            return MainWindowBoxes{QStringLiteral("127.0.0.1"), QString::number(server.port()), server.password()};
        });
        chosen = new QSignalSpy(window.get(), &frmPlayers::commandChosen);
        window->show();
    }
    ~Rig() { delete chosen; }
    bool select(int client)
    {
        for (int r = 0; r < window->sortedPlayers->rowCount(); ++r) {
            if (window->sortedPlayers->index(r, PlayersModel::Client).data().toInt() == client) {
                window->grdPlayers->selectRow(r);
                return true;
            }
        }
        return false;
    }
};
}

class PlayersSafetyTest : public QObject {
    Q_OBJECT
private slots:
    void hostileNamesAreText()
    {
        TestEnv env;
        const QList<QByteArray> names = {"<img src=/dev/zero>", "<b>bold</b>", "%1 %2", "^1<i>x</i>", "<font size=7>&amp;"};
        QByteArray table = OpenArenaHeader;
        for (int i = 0; i < names.size(); ++i)
            table += row(i + 3, names.at(i), "192.0.2." + QByteArray::number(i + 10) + ":27960");
        Rig rig({table + '\n'});
        frmPlayers* p = rig.window.get();
        QTRY_COMPARE_WITH_TIMEOUT(p->players->rowCount(), names.size(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(p->serverCommands->known(), 10000);

        for (int i = 0; i < names.size(); ++i) {
            const QString name = QString::fromLatin1(names.at(i));
            const QString shown = i == 3 ? QStringLiteral("<i>x</i>") : name;  // without its colour code
            const QString client = QString::number(i + 3);
            QVERIFY(rig.select(i + 3));
            MessageBox::takeShown();
            MessageBox::setNextAnswer(QMessageBox::No);
            p->cmdKick->click();
            MessageBox::setNextAnswer(QMessageBox::No);
            p->cmdBan->click();
            p->cmdMessage->click();  // no text given: cancelled
            const QList<MessageBox::Shown> asked = MessageBox::takeShown();
            QCOMPARE(asked.size(), 3);
            QCOMPARE(asked.at(0).text, QStringLiteral("Kick %1 (client %2) off 127.0.0.1:%3?").arg(shown, client, QString::number(rig.server.port())));
            QVERIFY(asked.at(1).text.startsWith(
                QStringLiteral("Ban the address 192.0.2.%1 of %2 (client %3) on 127.0.0.1:").arg(QString::number(i + 10), shown, client)));
            QCOMPARE(asked.at(2).text, QStringLiteral("Message to %1 (client %2) on 127.0.0.1:%3:").arg(shown, client, QString::number(rig.server.port())));
            for (const MessageBox::Shown& box : asked)
                QCOMPARE(box.textFormat, Qt::PlainText);

            // The name's tooltip, shown for real, and read as Qt's tooltip reads it.
            const QModelIndex cell = p->grdPlayers->currentIndex().siblingAtColumn(PlayersModel::Name);
            const QString tip = cell.data(Qt::ToolTipRole).toString();
            QHelpEvent help(QEvent::ToolTip, p->grdPlayers->visualRect(cell).center(),
                p->grdPlayers->viewport()->mapToGlobal(p->grdPlayers->visualRect(cell).center()));
            QApplication::sendEvent(p->grdPlayers->viewport(), &help);
            QTextDocument read;
            Qt::mightBeRichText(tip) ? read.setHtml(tip) : read.setPlainText(tip);
            QCOMPARE(read.toPlainText().section(QLatin1Char('\n'), 0, 0), shown);
            if (i == 3)
                QCOMPARE(read.toPlainText().section(QLatin1Char('\n'), 1), QStringLiteral("With its colour codes: ") + name);
        }
        QVERIFY(p->lblSummary->text().startsWith(QStringLiteral("127.0.0.1:%1 \u00b7 map oa_dm1").arg(rig.server.port())));
        QCOMPARE(p->lblSummary->textFormat(), Qt::PlainText);
        QCOMPARE(p->lblProblem->textFormat(), Qt::PlainText);
        QCOMPARE(rig.chosen->size(), 0);
        QCOMPARE(rig.server.heard(), QStringList({QStringLiteral("status"), QStringLiteral("cmdlist")}));
    }

    void nothingGoesToAnotherPlayer_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("problem");  // empty: the command goes
        const QByteArray bob = row(5, "^4Bob", "192.0.2.5:27960");
        QTest::newRow("slot taken") << bob << row(5, "Alice", "192.0.2.9:27960") << "kick"
                                    << "Bob left; client 5 is now Alice. Nothing was sent.";
        QTest::newRow("slot empty") << bob << row(6, "Alice", "192.0.2.9:27960") << "message"
                                    << "Bob left; client 5 is empty now. Nothing was sent.";
        QTest::newRow("same name, other colours") << bob << row(5, "^1Bob", "192.0.2.5:27960") << "kick"
                                                  << "^4Bob left; client 5 is now ^1Bob. Nothing was sent.";
        QTest::newRow("other address") << bob << row(5, "^4Bob", "192.0.2.77:27960") << "ban"
                                       << "Bob (client 5) now has the address 192.0.2.77:27960, not 192.0.2.5:27960. Nothing was sent.";
        QTest::newRow("no answer") << bob << QByteArray() << "kick"
                                   << "No answer from 127.0.0.1:PORT to `status` after 3 tries. Nothing was sent.";
        QTest::newRow("same player") << bob << row(5, "^4Bob", "192.0.2.5:27960") + row(6, "Alice", "192.0.2.9:27960")
                                     << "ban" << QString();
    }
    void nothingGoesToAnotherPlayer()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QFETCH(QString, action);
        QFETCH(QString, problem);
        TestEnv env;
        Rig rig({OpenArenaHeader + before + '\n', after.isEmpty() ? QByteArray() : OpenArenaHeader + after + '\n'});
        frmPlayers* p = rig.window.get();
        QTRY_VERIFY_WITH_TIMEOUT(p->serverCommands->known() && p->players->rowCount() == 1, 10000);
        QVERIFY(rig.select(5));
        const QString port = QString::number(rig.server.port());
        MessageBox::setNextAnswer(QMessageBox::Yes);
        MessageBox::setNextText(QStringLiteral("hi"));
        QAction* chosen = action == QLatin1String("kick") ? p->mnuKick : action == QLatin1String("ban") ? p->mnuBan : p->mnuMessage;
        chosen->trigger();
        QVERIFY(!p->mnuKick->isEnabled());  // one command at a time, until its check is over
        const QString sent = action == QLatin1String("kick") ? QStringLiteral("clientkick 5")
            : action == QLatin1String("ban")                 ? QStringLiteral("banaddr 192.0.2.5")
                                                             : QStringLiteral("tell 5 \"hi\"");
        if (problem.isEmpty()) {
            QTRY_COMPARE_WITH_TIMEOUT(rig.chosen->size(), 1, 10000);
            QCOMPARE(rig.chosen->first(), QVariantList({QStringLiteral("127.0.0.1"), rig.server.port(), rig.server.password(), sent}));
            QCOMPARE(p->lblProblem->text(), QString());
        } else {
            problem.replace(QStringLiteral("PORT"), port);
            QTRY_VERIFY_WITH_TIMEOUT(!p->lblProblem->text().isEmpty(), 10000);
            QVERIFY2(p->lblProblem->text().startsWith(problem), qPrintable(p->lblProblem->text()));
            QTest::qWait(200);
            QCOMPARE(rig.chosen->size(), 0);
        }
        // The check is a read: with no answer, asked three times.
        const int checks = after.isEmpty() ? 3 : 1;
        QCOMPARE(rig.server.heard(), QStringList({QStringLiteral("status"), QStringLiteral("cmdlist")}) + QStringList(checks, QStringLiteral("status")));
        QCOMPARE(p->mnuKick->isEnabled(), p->SelectedPlayer() != nullptr);  // offered again once the check is over
    }

    void clientsConnectingAndLeaving()
    {
        // Current ioquake3 writes CON and ZMB where classic Quake 3 writes CNCT and ZMBI. The
        // server is in the admin's list under a label: every question names it.
        TestEnv env;
        Rig rig({OpenArenaHeader + row(0, "Sarge", "bot")
            + "  3     0 CON HumanBob        127.0.0.1                                0\n"
            // A client on its way out has no name left, as the real server writes it.
            + "  4    -1 ZMB                 ^7192.0.2.8                              25000\n\n"});
        QVERIFY(SaveServerList({SavedServer{QStringLiteral("Fleet <b>1</b>"), QStringLiteral("127.0.0.1"), rig.server.port(), QString()}}));
        frmPlayers* p = rig.window.get();
        QTRY_VERIFY_WITH_TIMEOUT(p->serverCommands->known() && p->players->rowCount() == 3, 10000);
        QVERIFY2(p->lblSummary->text().contains(QStringLiteral(" \u00b7 2 players (1 connecting), 1 bot \u00b7 read at ")),
            qPrintable(p->lblSummary->text()));
        QVERIFY(rig.select(4));
        QCOMPARE(p->grdPlayers->currentIndex().siblingAtColumn(PlayersModel::Ping).data().toString(), QStringLiteral("leaving"));
        QVERIFY(rig.select(3));
        const QModelIndex ping = p->grdPlayers->currentIndex().siblingAtColumn(PlayersModel::Ping);
        QCOMPARE(ping.data().toString(), QStringLiteral("connecting"));
        QCOMPARE(ping.data(Qt::ToolTipRole).toString(), QStringLiteral("Still connecting (the server writes CON)"));
        QVERIFY(p->cmdKick->isEnabled() && p->cmdBan->isEnabled());

        const QString server = QStringLiteral("Fleet <b>1</b> (127.0.0.1:%1)").arg(rig.server.port());
        MessageBox::takeShown();
        MessageBox::setNextAnswer(QMessageBox::No);
        p->cmdBan->click();
        p->cmdMessage->click();  // cancelled
        MessageBox::setNextAnswer(QMessageBox::Yes);
        p->cmdKick->click();
        const QList<MessageBox::Shown> asked = MessageBox::takeShown();
        QCOMPARE(asked.size(), 3);
        QVERIFY2(asked.at(0).text.startsWith(QStringLiteral("Ban the address 127.0.0.1 of HumanBob (client 3) on %1?\n\n").arg(server)),
            qPrintable(asked.at(0).text));
        QCOMPARE(asked.at(1).text, QStringLiteral("Message to HumanBob (client 3) on %1:").arg(server));
        QCOMPARE(asked.at(2).text, QStringLiteral("Kick HumanBob (client 3) off %1?").arg(server));
        QTRY_COMPARE_WITH_TIMEOUT(rig.chosen->size(), 1, 10000);
        QCOMPARE(rig.chosen->first().last().toString(), QStringLiteral("clientkick 3"));
        QCOMPARE(p->lblAnswer->text(), QStringLiteral("`clientkick 3` sent to 127.0.0.1:%1; its answer shows here.").arg(rig.server.port()));
    }

    void offersOnlyWhatTheServerHas()
    {
        TestEnv env;
        Rig rig({"map: q3dm17\n"
                 "num score ping name            lastmsg address               qport rate\n"
                 "--- ----- ---- --------------- ------- --------------------- ----- -----\n"
                 "  0     5   48 ^1Big ^3Bad Wolf     50 192.0.2.44:27960      31337 25000\n\n"},
            "clientkick\nkick\nsay\nstatus\n4 commands\n");
        frmPlayers* p = rig.window.get();
        QTRY_COMPARE_WITH_TIMEOUT(p->players->rowCount(), 1, 10000);
        QVERIFY(rig.select(0));
        QVERIFY(!p->cmdKick->isEnabled() && !p->cmdMessage->isEnabled());  // until the list is in
        QCOMPARE(p->cmdKick->toolTip(), QStringLiteral("The server's commands are not known yet."));
        QTRY_VERIFY_WITH_TIMEOUT(p->cmdKick->isEnabled(), 10000);
        QVERIFY(!p->cmdMessage->isEnabled() && !p->mnuMessage->isEnabled() && !p->cmdBan->isEnabled() && !p->mnuBan->isEnabled());
        QVERIFY(p->cmdCopyAddress->isEnabled());  // the address is an IP: only the command is missing
        QCOMPARE(p->cmdMessage->toolTip(), QStringLiteral("The server has no \"tell\" command."));
        QCOMPARE(p->mnuBan->toolTip(), QStringLiteral("The server has no \"banaddr\" command."));
        QCOMPARE(p->cmdKick->toolTip(), QString());
        p->mnuBan_Click();
        p->mnuMessage_Click();
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void actionsGoToTheServerOfTheTable()
    {
        TestEnv env;
        OpenArenaServer a(QStringLiteral("a-s3cret"));
        QVERIFY2(a.start(), qPrintable(a.errorText()));
        a.rcon(QStringLiteral("addbot Sarge 2"));
        ScriptedServer b(QStringLiteral("b-pw"));
        b.answer(QStringLiteral("status"), {OpenArenaHeader + row(0, "Bravo", "192.0.2.50:27960") + '\n'});
        b.answer(QStringLiteral("cmdlist"), {AllCommands});
        SaveProgramSetting(Key::PlayersRefreshSeconds, QStringLiteral("0"));

        frmMain w;
        AimAt(w, a.port(), a.password());
        ui(w).mnuCommandsPlayers->trigger();
        frmPlayers* p = w.findChild<frmPlayers*>();
        QTRY_VERIFY_WITH_TIMEOUT(p->players->rowCount() == 1 && p->cmdKick->isEnabled() == false, 10000);
        QVERIFY(p->SelectedPlayer() == nullptr);
        QVERIFY(rigSelectFirst(p));
        QTRY_VERIFY_WITH_TIMEOUT(p->cmdKick->isEnabled() && p->cmdMessage->isEnabled(), 10000);

        // The boxes now name B; the table on screen is still A's, and so is the kick.
        AimAt(w, b.port(), b.password());
        MessageBox::setNextAnswer(QMessageBox::Yes);
        p->cmdKick->click();
        QVERIFY(a.waitForOutput(QStringLiteral("clientkick 0")));
        const QString echo = Echo(QStringLiteral("clientkick 0   (sent to 127.0.0.1:%1)").arg(a.port()));
        QTRY_VERIFY_WITH_TIMEOUT(ui(w).txtOutput->text().contains(echo), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(ui(w).txtOutput->text().contains(QStringLiteral("Sarge^7 was kicked")), 10000);
        QVERIFY(!a.output().contains(QStringLiteral("b-pw")));

        // The refresh after the command reads B: A's table goes at once, and while B's is not
        // on screen (here a wrong password) nothing can be chosen.
        ui(w).txtPassword->setText(QStringLiteral("wrong"));
        QTRY_VERIFY_WITH_TIMEOUT(p->lblProblem->text().contains(QStringLiteral("Bad rconpassword.")), 10000);
        QVERIFY(p->TableServer().isEmpty() && p->players->rowCount() == 0 && !p->cmdKick->isEnabled());
        QVERIFY2(p->lblProblem->text().startsWith(QStringLiteral("127.0.0.1:%1 answered").arg(b.port())), qPrintable(p->lblProblem->text()));
        ui(w).txtPassword->setText(b.password());
        p->Refresh();
        QTRY_VERIFY_WITH_TIMEOUT(p->TableServer() == QStringLiteral("127.0.0.1:%1").arg(b.port()), 10000);
        QCOMPARE(p->sortedPlayers->index(0, PlayersModel::Name).data().toString(), QStringLiteral("Bravo"));
        QVERIFY(!b.heard().contains(QStringLiteral("clientkick 0")));
        QCOMPARE(b.heard().first(), QStringLiteral("status"));
        QVERIFY(rigSelectFirst(p));
        QTRY_VERIFY_WITH_TIMEOUT(p->cmdKick->isEnabled(), 10000);  // B's commands: Bravo can be kicked
    }

private:
    static bool rigSelectFirst(frmPlayers* p)
    {
        p->grdPlayers->selectRow(0);
        return p->SelectedPlayer() != nullptr;
    }
};

int main(int argc, char** argv)
{
    // Generous for the process (and the server it starts), small beside a machine's memory.
    const rlim_t limit = rlim_t(4) << 30;
    const rlimit memory{limit, limit};
    setrlimit(RLIMIT_AS, &memory);
    QApplication app(argc, argv);
    PlayersSafetyTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_playerssafety.moc"
