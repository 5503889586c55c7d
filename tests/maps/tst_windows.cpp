// The Maps and Bans windows against a real OpenArena server on loopback (a fresh home each
// run, so no bans are left from another), opened from the Commands menu: the maps listed,
// filtered and changed, the bans listed, added, removed and flushed, each action asked first
// and sent through the main window to the server whose list is on screen.
#include "../log/ExchangeRig.h"
#include "OpenArenaServer.h"
#include "ScriptedServer.h"
#include "TestEnv.h"

#include "bans/frmBans.h"
#include "console/RequestBudget.h"
#include "maps/MapList.h"
#include "maps/frmMaps.h"
#include "memory/frmDatabase.h"
#include "players/PlayersModel.h"
#include "players/frmPlayers.h"
#include "servers/ServersModel.h"
#include "servers/ServerForm.h"
#include "servers/frmServers.h"
#include "settings/UserDataFolder.h"
#include "ui/frmAbout.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QListView>
#include <QStringListModel>
#include <QTableWidget>
#include <QComboBox>
#include <QLineEdit>
#include "memory/MemoryDatabase.h"
#include "memory/Queries.h"
#include "memory/Recorder.h"
#include "widgets/BanDialog.h"

namespace {
QStringList rows(const frmBans* b)
{
    QStringList out;
    for (int r = 0; r < b->grdBans->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c <= frmBans::Prefix; ++c)
            cells << b->grdBans->item(r, c)->text();
        out << cells.join(QLatin1Char(' '));
    }
    return out;
}

// A stand-in for a server without the ban commands or `vstr`, whose map has a name that is
// markup: it answers every request that comes within `ms`, but for `swallowed`, which it runs
// without a word (or whose answer is lost).
void serveWithoutBans(LoopbackServer& standIn, int ms, const QByteArray& swallowed = QByteArray())
{
    QElapsedTimer time;
    time.start();
    for (int handled = 0; time.elapsed() < ms;) {
        if (!standIn.waitForDatagrams(handled + 1, 100))
            continue;
        const LoopbackServer::Datagram d = standIn.received().at(handled++);
        if (!swallowed.isEmpty() && d.data.endsWith(" " + swallowed))
            continue;
        QByteArray answer = PrintReply("");
        if (d.data.contains("getstatus "))
            answer = "\xff\xff\xff\xffstatusResponse\n\\challenge\\" + d.data.mid(d.data.indexOf("getstatus ") + 10)
                + "\\mapname\\<img src=/dev/zero>\\g_gametype\\4\n";
        else if (d.data.contains("cmdlist"))
            answer = PrintReply("map\nmap_restart\nfdir\nstatus\n4 commands\n");
        else if (d.data.contains("fdir"))
            answer = PrintReply("---------------\nmaps/q3dm17.bsp\nmaps/<b>x;quit.bsp\n2 files listed\n");
        else if (d.data.contains("nextmap"))
            answer = PrintReply("\"nextmap\" is:\"vstr d2^7\" default:\"^7\"\n");
        standIn.sendTo(answer, d.sender, d.senderPort);
    }
}

// The access keys (Alt+letter) of one window that more than one of its visible controls
// claims: among the menu bar's titles, among each menu's items, and among the window's buttons,
// group boxes and labels with a buddy.
QStringList clashingKeys(QWidget* window)
{
    QStringList clashes;
    auto check = [&clashes](const QString& where, const QStringList& texts) {
        QHash<QKeySequence, QString> seen;
        for (const QString& text : texts) {
            const QKeySequence key = QKeySequence::mnemonic(text);
            if (key.isEmpty())
                continue;
            if (seen.contains(key))
                clashes << QStringLiteral("%1: \"%2\" and \"%3\"").arg(where, seen.value(key), text);
            seen.insert(key, text);
        }
    };
    const QString name = window->objectName();
    QStringList controls;
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
        if (b->window() == window && b->isVisibleTo(window))
            controls << b->text();
    for (QGroupBox* g : window->findChildren<QGroupBox*>())
        if (g->window() == window && g->isVisibleTo(window))
            controls << g->title();
    for (QLabel* l : window->findChildren<QLabel*>())
        if (l->window() == window && l->buddy() && l->isVisibleTo(window))
            controls << l->text();
    check(name, controls);
    if (auto* main = qobject_cast<QMainWindow*>(window)) {
        QStringList titles;
        for (QAction* a : main->menuBar()->actions())
            titles << a->text();
        check(name + QStringLiteral(" menu bar"), titles);
    }
    for (QMenu* m : window->findChildren<QMenu*>()) {
        QStringList items;
        for (QAction* a : m->actions())
            if (a->isVisible())
                items << a->text();
        check(name + QLatin1Char(' ') + m->title(), items);
    }
    // The context menu of a table is built when it opens, from actions of the window.
    QStringList actions;
    for (QAction* a : window->findChildren<QAction*>(Qt::FindDirectChildrenOnly))
        actions << a->text();
    check(name + QStringLiteral(" actions"), actions);
    return clashes;
}

// Answers the next question with `answer` and returns what was asked.
MessageBox::Shown answered(QMessageBox::StandardButton answer, const std::function<void()>& action)
{
    MessageBox::takeShown();
    MessageBox::setNextAnswer(answer);
    action();
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    return shown.size() == 1 ? shown.first() : MessageBox::Shown{QStringLiteral("%1 boxes").arg(shown.size()), {}, {}, {}, {}};
}
}

class WindowsTest : public QObject {
    Q_OBJECT
private slots:
    void init() { RequestScheduler::instance().resetForTests(); }

    void keysInEveryWindow()
    {
        TestEnv env;
        frmMain w;
        w.show();
        ui(w).cmdShowOptions->click();  // the Advanced panel's controls too
        ui(w).mnuCommandsPlayers->trigger();
        ui(w).mnuCommandsServers->trigger();
        ui(w).mnuCommandsMaps->trigger();
        ui(w).mnuCommandsBans->trigger();
        w.findChild<frmServers*>()->cmdAdd_Click();
        auto* form = w.findChild<frmServers*>()->findChild<ServerForm*>();
        frmAbout about;
        about.show();
        frmDatabase database(Memory::DatabaseTarget{});  // with the TLS box a remote host shows
        database.optTeam->click();
        database.txtUrl->setText(QStringLiteral("postgresql://admin@db.example.org/team"));
        database.show();
        QVERIFY(form && form->isVisible() && database.chkTlsOff->isVisible());
        for (QWidget* window : std::initializer_list<QWidget*>{&w, w.findChild<frmPlayers*>(), w.findChild<frmServers*>(), w.findChild<frmMaps*>(), w.findChild<frmBans*>(), form, &about, &database})
            QVERIFY2(clashingKeys(window).isEmpty(), qPrintable(clashingKeys(window).join(QLatin1Char('\n'))));
        form->close();

        // Tab leaves each table (the arrows move in it), also from a cell with more to its right.
        PlayerRow player;
        player.client = 0;
        player.name = QStringLiteral("Sarge");
        player.address = QStringLiteral("bot");
        w.findChild<frmPlayers*>()->players->setRows({player, player});
        w.findChild<frmServers*>()->servers->setServers({SavedServer{QStringLiteral("a"), QStringLiteral("192.0.2.1"), 27960, QString()},
            SavedServer{QStringLiteral("b"), QStringLiteral("192.0.2.2"), 27960, QString()}});
        w.findChild<frmBans*>()->grdBans->setRowCount(2);
        for (QTableView* table : std::initializer_list<QTableView*>{w.findChild<frmPlayers*>()->grdPlayers, w.findChild<frmServers*>()->grdServers, w.findChild<frmBans*>()->grdBans}) {
            table->window()->activateWindow();
            table->setFocus();
            table->setCurrentIndex(table->model()->index(0, 0));
            QTest::keyClick(table, Qt::Key_Down);
            QCOMPARE(table->currentIndex().row(), 1);
            QTest::keyClick(table, Qt::Key_Tab);
            QVERIFY2(table->window()->focusWidget() != table, qPrintable(table->objectName()));
            QCOMPARE(table->currentIndex(), table->model()->index(1, 0));
        }
    }

    void mapsOfARealServer()
    {
        TestEnv env;
        OpenArenaServer server(QStringLiteral("maps-pw"));
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        frmMain w;
        AimAt(w, server.port(), server.password());
        ui(w).mnuCommandsMaps->trigger();
        frmMaps* m = w.findChild<frmMaps*>();
        QVERIFY(m && m->isVisible() && m->focusWidget() == m->txtFilter);
        const QString at = QStringLiteral("127.0.0.1:%1").arg(server.port());
        QTRY_COMPARE_WITH_TIMEOUT(m->ShownMaps().size(), 72, 15000);
        QTRY_COMPARE_WITH_TIMEOUT(m->lblServer->text(), at + QStringLiteral(" \u00b7 map oa_dm1 \u00b7 game type Free For All (0)"), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(m->lblNextMap->text(), QStringLiteral("Next map: map_restart 0"), 10000);
        QVERIFY(m->ShownMaps().contains(QStringLiteral("oa_dm1")) && m->lblProblem->text().isEmpty());
        QVERIFY(ReadUserDataFile(MapFileName(QStringLiteral("127.0.0.1"), server.port()), 1 << 20).contains("\noa_dm1\n"));

        // The filter narrows as the admin types; Down goes into the list.
        QVERIFY(!m->cmdChangeMap->isEnabled());
        QTest::keyClicks(m->txtFilter, QStringLiteral("OA_DM"));
        QCOMPARE(m->ShownMaps(), QStringList({QStringLiteral("oa_dm1"), QStringLiteral("oa_dm2"), QStringLiteral("oa_dm3"),
                                     QStringLiteral("oa_dm4"), QStringLiteral("oa_dm5"), QStringLiteral("oa_dm6"), QStringLiteral("oa_dm7")}));
        QTest::keyClick(m->txtFilter, Qt::Key_Down);
        QCOMPARE(m->focusWidget(), m->lstMaps);
        QTest::keyClick(m->lstMaps, Qt::Key_Down);
        QCOMPARE(m->SelectedMap(), QStringLiteral("oa_dm2"));
        QTRY_VERIFY_WITH_TIMEOUT(m->cmdChangeMap->isEnabled() && m->cmdRestartMap->isEnabled() && m->cmdNextMap->isEnabled(), 10000);

        // Enter asks first, naming server and map, No the default: No sends nothing.
        MessageBox::Shown asked = answered(QMessageBox::No, [m] { QTest::keyClick(m->lstMaps, Qt::Key_Return); });
        QCOMPARE(asked.text, QStringLiteral("Change the map of %1 to oa_dm2?\n\nEveryone on the server goes to the new map.").arg(at));
        QCOMPARE(asked.defaultButton, QMessageBox::No);
        QVERIFY(!ui(w).txtOutput->text().contains(QStringLiteral("map ")));

        // Yes: the command goes through the main window, and the new map is read once the server has it.
        ui(w).txtAddr->setEditText(QStringLiteral("192.0.2.1"));  // the boxes name another server by now
        asked = answered(QMessageBox::Yes, [m] { m->cmdChangeMap->click(); });
        QVERIFY(asked.text.startsWith(QStringLiteral("Change the map of %1 to oa_dm2?").arg(at)));
        QVERIFY(ui(w).txtOutput->text().contains(Echo(QStringLiteral("map \"oa_dm2\"   (sent to %1)").arg(at))));
        QTRY_VERIFY_WITH_TIMEOUT(ui(w).txtOutput->text().contains(QStringLiteral("Server: oa_dm2")), 20000);
        QTRY_VERIFY2_WITH_TIMEOUT(m->lblAnswer->text().startsWith(QStringLiteral("%1 answered `map \"oa_dm2\"`: ").arg(at)),
            qPrintable(m->lblAnswer->text()), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(m->lblServer->text().contains(QStringLiteral("map oa_dm2 \u00b7")), 20000);

        // Restart Map names the current map.
        asked = answered(QMessageBox::No, [m] { m->cmdRestartMap->click(); });
        QCOMPARE(asked.text, QStringLiteral("Restart oa_dm2 on %1?").arg(at));

        // At the next refresh the boxes name a stand-in: its list, empty until it answers; no actions meanwhile.
        LoopbackServer standIn;
        ui(w).txtAddr->setEditText(QStringLiteral("127.0.0.1"));
        ui(w).txtPort->setEditText(QString::number(standIn.port()));
        m->cmdRefreshList->click();
        QCOMPARE(m->maps->rowCount(), 0);
        QVERIFY(!m->cmdChangeMap->isEnabled() && !m->cmdRestartMap->isEnabled() && !m->cmdNextMap->isEnabled());
        QVERIFY(m->lblServer->text().startsWith(QStringLiteral("127.0.0.1:%1 \u00b7 map unknown").arg(standIn.port())));
        QVERIFY(standIn.waitForDatagrams(1));
        // Back to the real server: its list from the user's folder at once.
        ui(w).txtPort->setEditText(QString::number(server.port()));
        m->cmdRefreshList->click();
        QCOMPARE(m->maps->rowCount(), 72);
    }

    void bansOfARealServer()
    {
        TestEnv env;
        OpenArenaServer server(QStringLiteral("bans-pw"));
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        server.rcon(QStringLiteral("banaddr 203.0.113.0/24"));
        frmMain w;
        AimAt(w, server.port(), server.password());
        ui(w).mnuCommandsBans->trigger();
        frmBans* b = w.findChild<frmBans*>();
        QVERIFY(b && b->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(rows(b), QStringList({QStringLiteral("Ban 1 203.0.113.0 24")}), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(b->cmdAddException->isEnabled() && b->cmdFlushAll->isEnabled(), 10000);
        QVERIFY(!b->cmdRemove->isEnabled());

        // An address is checked before anything is sent.
        MessageBox::setNextText(QStringLiteral("203.0.113.9/33"));
        b->cmdAddException->click();
        QCOMPARE(MessageBox::takeShown().size(), 2);  // the prompt, then the refusal
        MessageBox::setNextText(QStringLiteral(" 203.0.113.9 "));
        b->cmdAddException->click();
        QVERIFY(ui(w).txtOutput->text().contains(Echo(QStringLiteral("exceptaddr 203.0.113.9")) + QStringLiteral("\r\n")));
        QVERIFY(!ui(w).txtOutput->text().contains(QStringLiteral("/33")));
        QTRY_COMPARE_WITH_TIMEOUT(rows(b).size(), 2, 10000);
        QVERIFY(rows(b).contains(QStringLiteral("Exception 1 203.0.113.9 32")));

        // Someone else removes the ban while it is selected: the list is read again and nothing is sent.
        b->grdBans->selectRow(rows(b).indexOf(QStringLiteral("Ban 1 203.0.113.0 24")));
        QVERIFY(b->cmdRemove->isEnabled());
        QTest::qWait(1100);
        server.rcon(QStringLiteral("bandel 1"));
        MessageBox::Shown asked = answered(QMessageBox::Yes, [b] { b->cmdRemove->click(); });
        QCOMPARE(asked.text, QStringLiteral("Remove the ban on 203.0.113.0/24 from 127.0.0.1:%1?").arg(server.port()));
        QCOMPARE(asked.defaultButton, QMessageBox::No);
        QTRY_COMPARE_WITH_TIMEOUT(b->lblProblem->text(),
            QStringLiteral("The ban on 203.0.113.0/24 is no longer on the list of 127.0.0.1:%1. Nothing was sent.").arg(server.port()), 10000);
        QCOMPARE(rows(b), QStringList({QStringLiteral("Exception 1 203.0.113.9 32")}));
        QVERIFY(!ui(w).txtOutput->text().contains(QStringLiteral("bandel")));

        // The Players window's Ban Address refreshes the open Bans window.
        ui(w).mnuCommandsPlayers->trigger();
        emit w.findChild<frmPlayers*>()->commandChosen(QStringLiteral("127.0.0.1"), server.port(), server.password(), QStringLiteral("banaddr 198.51.100.7"));
        QTRY_COMPARE_WITH_TIMEOUT(rows(b).size(), 2, 10000);

        // Remove goes by the address, Flush All asks with the count.
        b->grdBans->selectRow(rows(b).indexOf(QStringLiteral("Ban 1 198.51.100.7 32")));
        answered(QMessageBox::Yes, [b] { b->cmdRemove->click(); });
        QTRY_VERIFY_WITH_TIMEOUT(ui(w).txtOutput->text().contains(Echo(QStringLiteral("bandel 198.51.100.7/32")) + QStringLiteral("\r\n")), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(rows(b), QStringList({QStringLiteral("Exception 1 203.0.113.9 32")}), 10000);
        asked = answered(QMessageBox::Yes, [b] { b->cmdFlushAll->click(); });
        QCOMPARE(asked.text, QStringLiteral("Remove everything from the ban list of 127.0.0.1:%1: 0 bans and 1 exception?").arg(server.port()));
        QTRY_COMPARE_WITH_TIMEOUT(b->grdBans->rowCount(), 0, 10000);
        QVERIFY(!b->cmdFlushAll->isEnabled());
        QTest::qWait(1100);
        QCOMPARE(server.rcon(QStringLiteral("listbans")), QByteArray());

        // The real dialog: an address the check refuses keeps it open, the text there to
        // correct; the server's answer to the ban shows on the window's own line, and the
        // memory's reason, admin and expiry beside the ban.
        MessageBox::setRecording(false);
        QStringList seen;
        QTimer::singleShot(0, this, [&seen] {
            auto* dialog = qobject_cast<BanDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            dialog->txtAddress->setText(QStringLiteral("2001:db8::/200"));
            dialog->cboReason->setCurrentText(QStringLiteral("<b>spam</b> %1"));
            dialog->cboDuration->setCurrentText(QStringLiteral("1 week"));
            dialog->accept();
            seen << (dialog->isVisible() ? dialog->txtAddress->text() : QStringLiteral("closed")) << dialog->lblProblem->text();
            dialog->txtAddress->setText(QStringLiteral("2001:db8::/32"));
            dialog->accept();
        });
        b->cmdBanAddress->click();
        MessageBox::setRecording(true);
        QCOMPARE(seen.size(), 2);
        QCOMPARE(seen.at(0), QStringLiteral("2001:db8::/200"));
        QCOMPARE(seen.at(1), QStringLiteral("That is not an IPv4 or IPv6 address with an optional /prefix (0 to 32 for IPv4, 0 to 128 for IPv6)."));
        QVERIFY(!ui(w).txtOutput->text().contains(QStringLiteral("/200")));
        const QString answer = QStringLiteral("127.0.0.1:%1 answered `banaddr 2001:db8::/32`: ").arg(server.port());
        QTRY_VERIFY2_WITH_TIMEOUT(b->lblAnswer->text().startsWith(answer), qPrintable(b->lblAnswer->text()), 10000);
        // A server without IPv6 refuses it (after a line of its own log), one with IPv6 adds it.
        const QString reply = b->lblAnswer->text().mid(answer.size());
        QVERIFY2(reply.endsWith(QStringLiteral("  Error: Invalid address 2001:db8::")) || reply == QStringLiteral("Added ban: 2001:db8::/32"),
            qPrintable(reply));
        QVERIFY(ui(w).txtOutput->text().contains(reply.section(QStringLiteral("  "), -1)));
        // A ban the memory holds with a reason and a duration: its reason, admin and expiry
        // beside it; lifted by someone else, it is marked so once the list no longer has it.
        QTest::qWait(1100);
        server.rcon(QStringLiteral("banaddr 198.51.100.0/24"));
        Recorder::Observation placing;
        placing.time = Memory::Now();
        placing.server = Memory::ServerKey(QStringLiteral("127.0.0.1"), server.port());
        placing.command = QStringLiteral("banaddr 198.51.100.0/24");
        placing.wentOut = true;
        placing.outcome = ExchangeOutcome::Answered;
        placing.text = QStringLiteral("Added ban: 198.51.100.0/24\n");
        placing.admin = Memory::AdminName();
        placing.reason = QStringLiteral("<b>spam</b> %1");
        placing.expiresAt = placing.time + 7 * 24 * 3600 * 1000LL;
        Recorder::Observe(placing);
        b->cmdRefresh->click();
        QTRY_VERIFY_WITH_TIMEOUT(([b] {
            for (int r = 0; r < b->grdBans->rowCount(); ++r)
                if (b->grdBans->item(r, frmBans::Reason) && b->grdBans->item(r, frmBans::Reason)->text() == QLatin1String("<b>spam</b> %1"))
                    return true;
            return false;
        }()), 10000);
        const QList<Memory::Ban> placed = Memory::BansOn(Memory::ServerKey(QStringLiteral("127.0.0.1"), server.port()));
        QCOMPARE(placed.size(), 1);
        QCOMPARE(placed[0].expires, placing.expiresAt);
        bool shown = false;
        for (int r = 0; r < b->grdBans->rowCount(); ++r) {
            if (b->grdBans->item(r, frmBans::Reason) && !b->grdBans->item(r, frmBans::Reason)->text().isEmpty()) {
                shown = b->grdBans->item(r, frmBans::Admin)->text() == Memory::AdminName()
                    && b->grdBans->item(r, frmBans::Expires)->text() == Memory::TimeText(placed[0].expires);
            }
        }
        QVERIFY(shown);
        QTest::qWait(1100);
        server.rcon(QStringLiteral("flushbans"));
        Memory::SetClockOffsetForTests(60000);
        b->cmdRefresh->click();
        QTRY_VERIFY_WITH_TIMEOUT(([&] {
            Recorder::Flush();
            return Memory::BansOn(placed[0].server).constFirst().liftedHow == QLatin1String("lifted elsewhere");
        }()), 10000);
    }

    void onlyWhatTheServerHas()
    {
        TestEnv env;
        LoopbackServer standIn;
        RequestScheduler::instance().setRule(QHostAddress::LocalHost, BudgetRule());  // no limit
        frmMain w;
        AimAt(w, standIn.port());
        ui(w).mnuCommandsMaps->trigger();
        ui(w).mnuCommandsBans->trigger();
        serveWithoutBans(standIn, 3000);
        frmMaps* m = w.findChild<frmMaps*>();
        frmBans* b = w.findChild<frmBans*>();
        QCOMPARE(m->ShownMaps(), QStringList({QStringLiteral("q3dm17")}));
        QCOMPARE(m->lblServer->text(), QStringLiteral("127.0.0.1:%1 \u00b7 map <img src=/dev/zero> \u00b7 game type Capture the Flag (4)").arg(standIn.port()));
        QCOMPARE(m->lblServer->textFormat(), Qt::PlainText);
        QCOMPARE(m->lblNextMap->text(), QStringLiteral("Next map: vstr d2"));
        m->lstMaps->setCurrentIndex(m->filteredMaps->index(0, 0));
        QVERIFY(m->cmdChangeMap->isEnabled() && m->cmdRestartMap->isEnabled() && !m->cmdNextMap->isEnabled());
        QVERIFY(m->cmdNextMap->toolTip().contains(QStringLiteral("vstr")));
        QCOMPARE(answered(QMessageBox::No, [m] { m->cmdRestartMap->click(); }).text,
            QStringLiteral("Restart the current map on 127.0.0.1:%1?").arg(standIn.port()));
        // A map change whose answer never comes: the window reads the map once more and says
        // what it found.
        answered(QMessageBox::Yes, [m] { m->cmdChangeMap->click(); });
        serveWithoutBans(standIn, 4000, "map \"q3dm17\"");
        QCOMPARE(m->lblAnswer->text(), QStringLiteral("No answer from 127.0.0.1:%1 to `map \"q3dm17\"`: it may or may not have run. "
                                                      "The map is now <img src=/dev/zero>.").arg(standIn.port()));

        QCOMPARE(b->lblProblem->text(), QStringLiteral("127.0.0.1:%1 has none of the ban commands "
                                                       "(listbans, banaddr, bandel, exceptaddr, exceptdel, flushbans).").arg(standIn.port()));
        QVERIFY(!b->grdBans->isVisible());
        for (QPushButton* action : {b->cmdRemove, b->cmdBanAddress, b->cmdAddException, b->cmdFlushAll})
            QVERIFY(!action->isEnabled() && action->toolTip().contains(QStringLiteral("no")));
        for (const LoopbackServer::Datagram& d : standIn.received())
            QVERIFY2(!d.data.contains("listbans"), d.data.constData());
    }

    // An exception added on a stand-in that runs it without a word (or whose answer is lost):
    // never sent again; the Bans window reads its list once more and says what it holds.
    void bansAfterAnAnswerLost()
    {
        TestEnv env;
        ScriptedServer server;
        server.answer(QStringLiteral("cmdlist"), {"listbans\nbanaddr\nbandel\nexceptaddr\nexceptdel\nflushbans\n6 commands\n"});
        server.answer(QStringLiteral("listbans"), {"Ban #1: 203.0.113.0/24\n", "Ban #1: 203.0.113.0/24\nExcept #1: 203.0.113.9/32\n"});
        frmMain w;
        AimAt(w, server.port(), server.password());
        ui(w).mnuCommandsBans->trigger();
        frmBans* b = w.findChild<frmBans*>();
        QTRY_COMPARE_WITH_TIMEOUT(rows(b), QStringList({QStringLiteral("Ban 1 203.0.113.0 24")}), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(b->cmdAddException->isEnabled(), 10000);
        MessageBox::setNextText(QStringLiteral("203.0.113.9"));
        b->cmdAddException->click();
        QTRY_COMPARE_WITH_TIMEOUT(b->lblAnswer->text(), QStringLiteral("No answer from 127.0.0.1:%1 to `exceptaddr 203.0.113.9`: it may or may "
                                                                       "not have run. The list now has 1 ban and 1 exception.").arg(server.port()), 10000);
        QCOMPARE(server.heard().count(QStringLiteral("exceptaddr 203.0.113.9")), 1);

        // A list that comes incomplete (its first line lost), twice: never shown as the list;
        // the last whole one stays, greyed, with the warning on the line above it.
        server.answer(QStringLiteral("listbans"), {"Ban #2: 198.51.100.0/24\nExcept #1: 203.0.113.9/32\n"});
        b->Refresh();
        QTRY_COMPARE_WITH_TIMEOUT(b->lblProblem->text(), QStringLiteral("The answer came incomplete: a datagram was lost on the way."), 10000);
        QCOMPARE(rows(b), QStringList({QStringLiteral("Ban 1 203.0.113.0 24"), QStringLiteral("Exception 1 203.0.113.9 32")}));
        QVERIFY(!b->grdBans->isEnabled());
    }
};

QTEST_MAIN(WindowsTest)
#include "tst_windows.moc"
