// The main window as a user meets it: its fixed outer size with the Advanced panel in and
// out, the Tab key's walk through the controls, Enter sending from every box; and the menu
// items and the About box button that hand work to other programs; and its close, after
// which nothing new starts.
#include "../log/ExchangeRig.h"

#include "console/RequestBudget.h"
#include "players/frmPlayers.h"
#include "settings/SettingsStore.h"
#include "settings/UserDataFolder.h"
#include "widgets/Launcher.h"
#include "ui/frmAbout.h"

#include <QGroupBox>
#include <QMenuBar>
#include <QSpinBox>

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void asAUserMeetsIt()
    {
        TestEnv env;
        LoopbackServer server;
        frmMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        // Tucked in, the window ends below the button row and hides the whole panel; out, it
        // shows the whole panel. Any other size is undone at once.
        for (const bool out : {false, true, false}) {
            const QSize size(568, w.menuBar()->height() + (out ? 537 : 480));
            QTRY_COMPARE(w.size(), size);
            w.resize(900, 300);
            QTRY_COMPARE(w.size(), size);
            QCOMPARE(ui(w).Frame1->visibleRegion(), out ? QRegion(ui(w).Frame1->rect()) : QRegion());
            QCOMPARE(ui(w).cmdShowOptions->text(), out ? QStringLiteral("<< Advanced") : QStringLiteral("Advanced >>"));
            ui(w).cmdShowOptions->click();
        }

        // The interval box takes its turn once the query is checked.
        ui(w).ckQueryStat->setValue(1);
        ui(w).txtMinutes->setText(QStringLiteral("31999"));
        const QStringList cycle = {"cmdConnect", "txtPassword", "cmdCopy", "cmdClear", "cmdQuit", "txtOutput",
            "cmdShowOptions", "txtMinutes", "ckQueryStat", "ckLog", "ckSavePwd", "cboMinsSecs", "Command1", "Command2",
            "txtAddr", "txtPort", "cmdClearHist", "txtCommand"};
        QStringList seen;
        ui(w).txtCommand->setFocus();
        for (int i = 0; i < cycle.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* f = QApplication::focusWidget();
            seen << (qobject_cast<QComboBox*>(f->parentWidget()) ? f->parentWidget() : f)->objectName();
        }
        QCOMPARE(seen, cycle);

        // Return and keypad Enter, pressed at the keyboard, in any box send once. The address
        // is typed beside a list entry that differs only in case: neither completion nor Enter
        // puts that entry in its place. (No request waits for the server's limit here.)
        RequestScheduler::instance().setRule(QHostAddress::LocalHost, BudgetRule());
        AimAt(w, server.port());
        ui(w).txtAddr->addItem(QStringLiteral("Localhost"));
        ui(w).txtAddr->setEditText(QString());
        ui(w).txtAddr->lineEdit()->setFocus();
        for (const char c : QByteArray("localhost"))
            QTest::keyClick(w.windowHandle(), c);
        const QList<QWidget*> boxes = {ui(w).txtCommand, ui(w).txtPassword, ui(w).txtMinutes, ui(w).txtAddr, ui(w).txtPort, ui(w).cboMinsSecs};
        for (int i = 0; i < 2 * boxes.size(); ++i) {
            ui(w).txtCommand->setText(QStringLiteral("say %1").arg(i));
            boxes[i / 2]->setFocus();
            QTest::keyClick(w.windowHandle(), i % 2 ? Qt::Key_Enter : Qt::Key_Return, i % 2 ? Qt::KeypadModifier : Qt::NoModifier);
            QVERIFY2(server.waitForDatagrams(i + 1), qPrintable(boxes[i / 2]->accessibleName()));
            QCOMPARE(server.received()[i].data, Request("pw say " + QByteArray::number(i)));
        }
        ui(w).mnuCommandsStatus->trigger();
        ui(w).mnuCommandsServerInfo->trigger();
        QVERIFY(server.waitForDatagrams(14));
        QCOMPARE(server.received()[12].data + server.received()[13].data, Request("pw status") + Request("pw serverinfo"));
        QCOMPARE(ui(w).txtAddr->itemText(0) + ui(w).txtAddr->itemText(1) + ui(w).txtAddr->currentText(),
            QStringLiteral("Localhostlocalhostlocalhost"));
        QCOMPARE(ui(w).txtPassword->displayText(), QStringLiteral("**"));
    }

    // The command list beside the program in the editor (the variable list is missing: a
    // message), the update check naming this version, and System Info starting the desktop's
    // tool found on the PATH.
    void otherPrograms()
    {
        TestEnv env;
        frmMain w;
        QTemporaryDir bin;
        QFile list(env.programFolder() + QStringLiteral("/commands.txt")), tool(bin.path() + QStringLiteral("/hardinfo"));
        QVERIFY(list.open(QIODevice::WriteOnly) && tool.open(QIODevice::WriteOnly) && tool.setPermissions(QFile::ExeOwner));
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", bin.path().toLocal8Bit());
        for (QAction* item : {ui(w).mnuViewCommands, ui(w).mnuViewVariables, ui(w).mnuHelpUpdate})
            item->trigger();
        frmAbout().cmdSysInfo->click();
        qputenv("PATH", path);
        QStringList opened;
        for (const Launcher::Request& r : Launcher::takeRequests())
            opened << r.target;
        QCOMPARE(opened, QStringList({list.fileName(), "https://www.quillhaven.example/vantorin/updates.asp?ver=1.30", tool.fileName()}));
        QVERIFY(MessageBox::takeShown().value(0).text.startsWith(QStringLiteral("Variables.txt appears to be missing!")));
    }

    // From the first line of the close on, nothing goes out and nothing new is queued, though a name refresh's second request, the timed query and the Players
    // window's refresh all fall due while the close is under way.
    void nothingStartsOnceCloseBegins()
    {
        TestEnv env;
        LoopbackServer server;
        frmMain w;
        AimAt(w, server.port());
        ui(w).mnuCommandsPlayers->trigger();
        w.findChild<frmPlayers*>()->txtRefreshSeconds->setValue(2);
        ui(w).mnuViewRefreshNames->trigger();
        QVERIFY(server.waitForDatagrams(2));  // the Players window's status, and cmdlist
        for (const LoopbackServer::Datagram& d : server.received()) {
            if (d.data.endsWith(" cmdlist"))
                server.sendTo(PrintReply("status\nkick\n2 commands\n"), d.sender, d.senderPort);
        }
        QTRY_VERIFY(ui(w).txtOutput->text().endsWith(QStringLiteral("2 commands\r\n")));
        // cvarlist would follow after a second of quiet, the timed query at the next tick.
        ui(w).cboMinsSecs->setEditText(QStringLiteral("Seconds"));
        ui(w).txtMinutes->setText(QStringLiteral("1"));
        ui(w).ckQueryStat->setValue(1);
        QVERIFY(w.close());
        const int sent = server.received().size();
        QTest::qWait(2500);
        QCOMPARE(server.received().size(), sent);
        FlushSettings();
        QVERIFY(!ReadFile(UserDataFolder() + QStringLiteral("/recall.txt")).contains("cvarlist"));
        QVERIFY(MessageBox::takeShown().isEmpty());
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
