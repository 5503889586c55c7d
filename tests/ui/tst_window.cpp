// The main window as the user meets it: its controls, menus, focus cycle, fixed size,
// the Advanced toggle, Enter sending from the boxes, Quit and File, Exit.
#include "LoopbackServer.h"
#include "TestEnv.h"

#include "console/OutputPane.h"
#include "console/UdpClient.h"
#include "settings/SettingsStore.h"
#include "ui/MessageBox.h"
#include "ui/VbCheckBox.h"
#include "ui/frmMain.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {
const QByteArray Header("\xff\xff\xff\xff");

QRect twips(int left, int top, int width, int height)
{
    return QRect(qRound(left / 15.0), qRound(top / 15.0), qRound(width / 15.0), qRound(height / 15.0));
}

QString caption(QWidget* c)
{
    if (auto* b = qobject_cast<QAbstractButton*>(c))
        return b->text();
    if (auto* l = qobject_cast<QLabel*>(c))
        return l->text();
    if (auto* e = qobject_cast<QLineEdit*>(c))
        return e->text();
    if (auto* cb = qobject_cast<QComboBox*>(c))
        return cb->currentText();
    if (auto* g = qobject_cast<QGroupBox*>(c))
        return g->title();
    return QString();
}

// The name a control goes by in the focus cycle: a combo box's edit field counts as the box.
QString focusName(QWidget* w)
{
    if (!w)
        return QStringLiteral("<none>");
    if (qobject_cast<QComboBox*>(w->parentWidget()) && qobject_cast<QLineEdit*>(w))
        return w->parentWidget()->objectName();
    return w->objectName();
}

QString accessibleName(QWidget* w)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(QAccessible::Name) : QString();
}

void showAndActivate(frmMain& w)
{
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    // After a menu closes, the offscreen platform leaves the hidden menu as the active window.
    if (QApplication::activeWindow() != &w)
        QApplication::setActiveWindow(&w);
    QTRY_COMPARE(QApplication::activeWindow(), &w);
}

void aim(frmMain& w, quint16 port)
{
    w.txtAddr->setEditText(QStringLiteral("127.0.0.1"));
    w.txtPort->setEditText(QString::number(port));
    w.txtPassword->setText(QStringLiteral("pw"));
}
}

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void controlsAsDescribed()
    {
        TestEnv env;
        // The window restores its boxes from the store as it is made; an empty stored port
        // lets the port box show its design text.
        SaveProgramSetting(Key::ServerPort, QString());
        frmMain w;
        QCOMPARE(w.objectName(), QStringLiteral("frmMain"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Quillhaven's Vantorin v1.30"));
        QCOMPARE(w.font().family(), QStringLiteral("Arial"));
        QCOMPARE(w.font().pointSizeF(), 8.25);

        struct Row {
            const char* name;
            const char* kind;
            QString caption;
            QRect geometry;
            const char* font;  // "sans", "sans bold", "mono" or "default" (the window's Arial)
        };
        const QList<Row> rows = {
            {"txtCommand", "QLineEdit", QStringLiteral("status"), twips(120, 6240, 7335, 350), "sans"},
            {"cmdConnect", "QPushButton", QStringLiteral("Send"), twips(7560, 6240, 855, 375), "sans bold"},
            {"txtPassword", "QLineEdit", QString(), twips(6960, 96, 1455, 285), "sans"},
            {"cmdCopy", "QPushButton", QStringLiteral("Copy"), twips(120, 6720, 855, 375), "sans bold"},
            {"cmdClear", "QPushButton", QStringLiteral("Clear"), twips(1080, 6720, 855, 375), "sans bold"},
            {"cmdQuit", "QPushButton", QStringLiteral("Quit"), twips(7560, 6720, 855, 375), "sans bold"},
            {"txtOutput", "OutputPane", QString(), twips(120, 480, 8295, 5415), "mono"},
            {"Label1", "QLabel", QStringLiteral("Server Address"), twips(-120, 120, 1335, 255), "sans"},
            {"Label2", "QLabel", QStringLiteral("Server Port"), twips(3480, 120, 855, 255), "sans"},
            {"Label3", "QLabel", QStringLiteral("rcon Password"), twips(5640, 120, 1215, 255), "sans"},
            {"Label4", "QLabel", QStringLiteral("Command"), twips(120, 6000, 1695, 255), "sans"},
            // The notice line carries the same copyright text as the About box.
            {"Label5", "QLabel", QStringLiteral("Copyright \u00A9 2026 Quillhaven. All rights reserved."),
                twips(1853, 5880, 4815, 255), "default"},
            {"cmdShowOptions", "QPushButton", QStringLiteral("Advanced >>"), twips(2040, 6720, 1455, 375), "sans bold"},
            {"Frame1", "QGroupBox", QString(), twips(120, 7200, 8295, 735), "default"},
            {"txtMinutes", "QLineEdit", QStringLiteral("5"), twips(1850, 280, 565, 315), "default"},
            {"ckQueryStat", "VbCheckBox", QStringLiteral("Query status every"), twips(120, 240, 2175, 375), "default"},
            {"ckLog", "VbCheckBox", QStringLiteral("Save Log"), twips(3720, 240, 1215, 375), "default"},
            {"ckSavePwd", "VbCheckBox", QStringLiteral("Save Password"), twips(5040, 240, 1575, 375), "default"},
            {"cboMinsSecs", "QComboBox", QStringLiteral("Minutes"), twips(2400, 275, 1095, 330), "default"},
            {"cmdClearHist", "QPushButton", QStringLiteral("Clear History"), twips(6720, 240, 1455, 375), "sans bold"},
            {"Command1", "QPushButton", QStringLiteral("Server Info"), twips(4320, 6720, 1455, 375), "sans bold"},
            {"Command2", "QPushButton", QStringLiteral("Status"), twips(5880, 6720, 855, 375), "sans bold"},
            {"txtAddr", "QComboBox", QString(), twips(1320, 60, 2055, 330), "default"},
            {"txtPort", "QComboBox", QString(), twips(4440, 60, 1095, 330), "default"},
        };
        for (const Row& r : rows) {
            QWidget* c = w.findChild<QWidget*>(QLatin1String(r.name));
            QVERIFY2(c, r.name);
            QVERIFY2(c->inherits(r.kind), r.name);
            QCOMPARE(c->geometry(), r.geometry);
            QCOMPARE(caption(c), r.caption);
            const QFont f = c->font();
            const QString kind = QLatin1String(r.font);
            const char* family = kind == QLatin1String("mono") ? "Courier New"
                : kind == QLatin1String("default")             ? "Arial"
                                                               : "MS Sans Serif";
            QCOMPARE(f.families().value(0), QLatin1String(family));
            if (kind == QLatin1String("mono"))
                QVERIFY2(QFontInfo(f).fixedPitch(), qPrintable(QFontInfo(f).family()));
            QCOMPARE(f.pointSizeF(), 8.25);
            QCOMPARE(f.bold(), kind == QLatin1String("sans bold"));
        }

        // The notice is centred in the button shadow colour; the box labels sit right, Command left.
        QCOMPARE(w.Label5->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        QCOMPARE(w.Label5->palette().color(QPalette::WindowText), w.palette().color(QPalette::Dark));
        for (QLabel* l : {w.Label1, w.Label2, w.Label3})
            QCOMPARE(l->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
        QCOMPARE(w.Label4->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);

        // Yellow on dark blue in the pane, which is read-only and scrolls vertically.
        QCOMPARE(w.txtOutput->palette().color(QPalette::Base), QColor(0, 0, 192));
        QCOMPARE(w.txtOutput->palette().color(QPalette::Text), QColor(255, 255, 0));
        QVERIFY(w.txtOutput->isReadOnly());
        QCOMPARE(w.txtOutput->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

        // The password shows asterisks; the interval box starts disabled in button colours.
        QCOMPARE(w.txtPassword->echoMode(), QLineEdit::Password);
        QCOMPARE(w.txtPassword->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, w.txtPassword), int('*'));
        QVERIFY(!w.txtMinutes->isEnabled());
        QCOMPARE(w.txtMinutes->palette().color(QPalette::Text), w.palette().color(QPalette::Active, QPalette::Dark));
        QCOMPARE(w.txtMinutes->palette().color(QPalette::Base), w.palette().color(QPalette::Active, QPalette::Button));

        // Send is the default button; the timer waits a minute and is off; the socket is idle.
        QVERIFY(w.cmdConnect->isDefault());
        QCOMPARE(w.tmrMain->interval(), 60000);
        QVERIFY(!w.tmrMain->isActive());
        QCOMPARE(w.udpClient->objectName(), QStringLiteral("udpClient"));
        QVERIFY(!w.udpClient->isOpen());
        QCOMPARE(w.PanelState, QStringLiteral("in"));
    }

    void menus()
    {
        TestEnv env;
        frmMain w;
        // Each menu's name and caption, then its items; an empty caption is a separator.
        const QList<QStringList> menus = {
            {"mnuFile", "&File", "mnuFileViewLog", "&View Log", "sp4", "", "mnuFileExit", "E&xit"},
            {"mnuCommands", "&Commands", "mnuCommandsStatus", "Get Server &Status", "mnuCommandsServerInfo",
                "Get Server &Info", "mnuCommandsPlayers", "&Players..."},
            {"mnuView", "&View", "mnuViewCommands", "&Command List...", "mnuViewVariables", "&Variable List...", "sp5",
                "", "mnuViewRefreshNames", "&Refresh Names From Server", "sp6", "",
                "mnuViewShowColours", "&Show Colours"},
            {"mnuFileHelp", "&Help", "mnuHelpUpdate", "Check For &Updates...", "mnuHelpFeedback",
                "Submit &Feedback...", "mnuHelpBug", "Submit A &Bug Report...", "sp2", "", "mnuHelpQuillhavenHome",
                "Visit Quillhaven...", "sp1", "", "mnuHelpAbout", "&About..."},
        };
        const QList<QAction*> bar = w.menuBar()->actions();
        QCOMPARE(bar.size(), menus.size());
        for (int m = 0; m < menus.size(); ++m) {
            const QStringList& want = menus.at(m);
            QMenu* menu = bar.at(m)->menu();
            QVERIFY(menu);
            QCOMPARE(menu->objectName(), want.at(0));
            QCOMPARE(menu->title(), want.at(1));
            const QList<QAction*> items = menu->actions();
            QCOMPARE(items.size(), want.size() / 2 - 1);
            for (int i = 0; i < items.size(); ++i) {
                QAction* a = items.at(i);
                const QString text = want.at(2 * i + 3);
                QCOMPARE(a->objectName(), want.at(2 * i + 2));
                QCOMPARE(a->isSeparator(), text.isEmpty());
                if (!a->isSeparator())
                    QCOMPARE(a->text(), text);
                QVERIFY(a->shortcut().isEmpty());
                QCOMPARE(a->isCheckable(), a == w.mnuViewShowColours);
                QVERIFY(a->isEnabled());
            }
        }
    }

    void keyboardAndScreenReader()
    {
        TestEnv env;
        LoopbackServer server;
        frmMain w;
        aim(w, server.port());

        // Alt+C opens Commands; S chooses Get Server Status, I Get Server Info.
        const QList<QPair<Qt::Key, QByteArray>> items = {{Qt::Key_S, "status"}, {Qt::Key_I, "serverinfo"}};
        for (int i = 0; i < items.size(); ++i) {
            showAndActivate(w);  // the offscreen platform does not give the activation back by itself
            w.txtCommand->setFocus();
            QTest::keyClick(&w, Qt::Key_C, Qt::AltModifier);
            QTRY_VERIFY(w.mnuCommands->isVisible());
            QTest::keyClick(w.mnuCommands, items.at(i).first);
            QVERIFY(server.waitForDatagrams(i + 1));
            QCOMPARE(server.received().at(i).data, Header + "rcon pw " + items.at(i).second);
            QTRY_VERIFY(!w.mnuCommands->isVisible());
        }

        // The boxes tell a screen reader what they are; buttons and check boxes say their captions.
        const QList<QPair<QWidget*, QString>> names = {{w.txtPassword, QStringLiteral("rcon Password")},
            {w.txtCommand, QStringLiteral("Command")}, {w.txtOutput, QStringLiteral("Output")},
            {w.txtMinutes, QStringLiteral("Query interval")}, {w.txtAddr->lineEdit(), QStringLiteral("Server Address")},
            {w.txtPort->lineEdit(), QStringLiteral("Server Port")},
            {w.cboMinsSecs->lineEdit(), QStringLiteral("Interval unit")}, {w.cmdConnect, QStringLiteral("Send")},
            {w.ckLog, QStringLiteral("Save Log")}, {w.ckQueryStat, QStringLiteral("Query status every")},
            {w.Command1, QStringLiteral("Server Info")}};
        for (const auto& n : names)
            QCOMPARE(accessibleName(n.first), n.second);
        // A combo box says its text as its name here; its label is tied to it instead.
        QCOMPARE(QList<QWidget*>({w.Label1->buddy(), w.Label2->buddy(), w.Label3->buddy(), w.Label4->buddy()}),
            QList<QWidget*>({w.txtAddr, w.txtPort, w.txtPassword, w.txtCommand}));

        // The focus cycle from the command box.
        showAndActivate(w);
        w.txtCommand->setFocus();
        QTRY_COMPARE(focusName(QApplication::focusWidget()), QStringLiteral("txtCommand"));

        // Labels and the panel frame never take the focus; the disabled interval box is
        // passed over; the tucked-in panel's controls keep their places.
        const QStringList cycle = {"cmdConnect", "txtPassword", "cmdCopy", "cmdClear", "cmdQuit", "txtOutput",
            "cmdShowOptions", "ckQueryStat", "ckLog", "ckSavePwd", "cboMinsSecs", "Command1", "Command2", "txtAddr",
            "txtPort", "cmdClearHist", "txtCommand"};
        QStringList seen;
        for (int i = 0; i < cycle.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            seen << focusName(QApplication::focusWidget());
        }
        QCOMPARE(seen, cycle);

        // With the interval box enabled it takes its turn after Advanced.
        w.txtMinutes->setEnabled(true);
        w.cmdShowOptions->setFocus();
        QTest::keyClick(w.cmdShowOptions, Qt::Key_Tab);
        QCOMPARE(focusName(QApplication::focusWidget()), QStringLiteral("txtMinutes"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(focusName(QApplication::focusWidget()), QStringLiteral("ckQueryStat"));

        // Alt+F, X: File, Exit closes the window.
        showAndActivate(w);
        QTest::keyClick(&w, Qt::Key_F, Qt::AltModifier);
        QTRY_VERIFY(w.mnuFile->isVisible());
        QTest::keyClick(w.mnuFile, Qt::Key_X);
        QTRY_VERIFY(!w.isVisible());
    }

    void fixedSizeAndAdvancedToggle()
    {
        TestEnv env;
        frmMain w;
        QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(w.windowFlags() & Qt::WindowCloseButtonHint);
        showAndActivate(w);
        QWidget* client = w.centralWidget();

        auto check = [&](bool out) {
            const QSize size(568, w.menuBar()->height() + (out ? 537 : 480));
            QTRY_COMPARE(w.size(), size);
            QCOMPARE(w.minimumSize(), size);  // the user cannot drag it bigger or smaller
            QCOMPARE(w.maximumSize(), size);
            QCOMPARE(client->width(), 568);
            if (out) {
                // The whole panel shows, with 120 twips below it.
                QCOMPARE(w.Frame1->geometry().bottom() + 1 + 8, client->height());
            } else {
                // The bottom edge hides the whole panel and shows the button row above it.
                QCOMPARE(w.Frame1->y(), client->height());
                QVERIFY(w.cmdQuit->geometry().bottom() < client->height());
            }
            QCOMPARE(w.cmdShowOptions->text(), out ? QStringLiteral("<< Advanced") : QStringLiteral("Advanced >>"));
            QCOMPARE(w.PanelState, out ? QStringLiteral("out") : QStringLiteral("in"));
        };

        check(false);
        // Out and back in: any new size is undone at once, and minimise and restore keep
        // the size and the panel state.
        for (bool out : {true, false}) {
            QTest::mouseClick(w.cmdShowOptions, Qt::LeftButton);
            check(out);
            w.resize(900, 300);
            check(out);
            w.setGeometry(QRect(w.pos(), QSize(200, 1000)));
            check(out);
            w.showMinimized();
            QTRY_VERIFY(w.isMinimized());
            w.showNormal();
            QTRY_VERIFY(!w.isMinimized());
            check(out);
            // A maximise request (a window manager may still offer one) changes nothing either.
            w.showMaximized();
            check(out);
            w.showNormal();
        }
    }

    void enterSendsFromEachBox()
    {
        TestEnv env;
        LoopbackServer server;
        frmMain w;
        showAndActivate(w);
        aim(w, server.port());

        // Return or Enter in the command, password, address, port and unit boxes: one datagram each.
        const QList<QWidget*> boxes = {
            w.txtCommand, w.txtPassword, w.txtAddr->lineEdit(), w.txtPort->lineEdit(), w.cboMinsSecs->lineEdit()};
        for (int i = 0; i < boxes.size(); ++i) {
            w.txtCommand->setText(QStringLiteral("say %1").arg(i));
            boxes.at(i)->setFocus();
            QTest::keyClick(boxes.at(i), i % 2 ? Qt::Key_Enter : Qt::Key_Return);
            QVERIFY(server.waitForDatagrams(i + 1));
            QCOMPARE(server.received().size(), i + 1);
            QCOMPARE(server.received().at(i).data, Header + "rcon pw say " + QByteArray::number(i));
            QCOMPARE(w.txtCommand->text(), QString());
        }
        QCOMPARE(w.cboMinsSecs->count(), 2);

        // Enter neither adds the typed text to a box's list nor swaps it for a list entry that
        // differs only in case. Without a password the send fails validation and records no
        // history, so the lists show exactly what Enter did.
        w.txtPassword->clear();
        w.txtCommand->setText(QStringLiteral("status"));
        w.txtAddr->addItem(QStringLiteral("Game.Example"));
        for (QComboBox* box : {w.txtAddr, w.txtPort}) {
            const QString typed = box == w.txtAddr ? QStringLiteral("game.example") : QStringLiteral("27961");
            const int items = box->count();
            box->setEditText(typed);
            QTest::keyClick(box->lineEdit(), Qt::Key_Return);
            QCOMPARE(MessageBox::takeShown().value(0).text, QStringLiteral("You must provide the rcon password."));
            QCOMPARE(box->currentText(), typed);
            QCOMPARE(box->count(), items);
        }
        // Nor when the text is typed and the focus moves on: completion from the list
        // finishes a word at most, it never changes the case of what was typed.
        w.txtAddr->setEditText(QString());
        w.txtAddr->lineEdit()->setFocus();
        QTest::keyClicks(w.txtAddr->lineEdit(), QStringLiteral("game.example"));
        w.txtCommand->setFocus();
        QCOMPARE(w.txtAddr->currentText(), QStringLiteral("game.example"));
        // The unit box completes nothing: "M" typed with the focus in it stays "M".
        w.cboMinsSecs->setEditText(QString());
        w.cboMinsSecs->lineEdit()->setFocus();
        QTest::keyClicks(w.cboMinsSecs->lineEdit(), QStringLiteral("M"));
        QCOMPARE(w.cboMinsSecs->currentText(), QStringLiteral("M"));
        w.cboMinsSecs->setEditText(QStringLiteral("Minutes"));

        // A barrier: nothing more than one datagram per Enter arrived.
        aim(w, server.port());
        w.txtCommand->setText(QStringLiteral("last"));
        w.cmdConnect->click();
        QVERIFY(server.waitForDatagrams(boxes.size() + 1));
        QCOMPARE(server.received().last().data, Header + "rcon pw last");
        QCOMPARE(server.received().size(), boxes.size() + 1);
    }

    void quitUnloadsOnce()
    {
        // (File, Exit closes the window too: keyboardAndScreenReader.)
        TestEnv env;
        LoopbackServer server;
        frmMain w;
        showAndActivate(w);
        aim(w, server.port());
        w.Command2->click();
        QTRY_VERIFY(w.udpClient->isOpen());
        QTest::mouseClick(w.cmdQuit, Qt::LeftButton);
        QVERIFY(!w.isVisible());
        QVERIFY(!w.udpClient->isOpen());  // the unload closed the socket
        // The unload runs once: a later close does not run it again.
        w.Command2->click();
        QTRY_VERIFY(w.udpClient->isOpen());
        w.close();
        QVERIFY(w.udpClient->isOpen());
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
