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
QRect twips(int left, int top, int width, int height)
{
    return QRect(qRound(left / 15.0), qRound(top / 15.0), qRound(width / 15.0), qRound(height / 15.0));
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
            {"Label5", "QLabel", QString(), twips(1853, 5880, 4815, 255), "default"},
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
            const QString name = QLatin1String(r.name);
            QWidget* c = w.findChild<QWidget*>(name);
            QVERIFY2(c, r.name);
            QVERIFY2(c->inherits(r.kind), r.name);
            QCOMPARE(c->geometry(), r.geometry);
            QString caption;
            if (auto* b = qobject_cast<QAbstractButton*>(c))
                caption = b->text();
            else if (auto* l = qobject_cast<QLabel*>(c))
                caption = l->text();
            else if (auto* e = qobject_cast<QLineEdit*>(c))
                caption = e->text();
            else if (auto* cb = qobject_cast<QComboBox*>(c))
                caption = cb->currentText();
            else if (auto* g = qobject_cast<QGroupBox*>(c))
                caption = g->title();
            if (name != QLatin1String("Label5"))
                QCOMPARE(caption, r.caption);

            const QFont f = c->font();
            const QString kind = QLatin1String(r.font);
            if (kind == QLatin1String("mono")) {
                QCOMPARE(f.families().value(0), QStringLiteral("Courier New"));
                QVERIFY2(QFontInfo(f).fixedPitch(), qPrintable(QFontInfo(f).family()));
            } else if (kind == QLatin1String("default")) {
                QCOMPARE(f.families().value(0), QStringLiteral("Arial"));
            } else {
                QCOMPARE(f.families().value(0), QStringLiteral("MS Sans Serif"));
            }
            QCOMPARE(f.pointSizeF(), 8.25);
            QCOMPARE(f.bold(), kind == QLatin1String("sans bold"));
        }

        // The notice names the author, centred, in the button shadow colour.
        QVERIFY(w.Label5->text().contains(QStringLiteral("Quillhaven")));
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

        // Lists: the two history boxes start empty, the unit box offers Minutes and Seconds.
        QCOMPARE(w.txtAddr->count(), 0);
        QCOMPARE(w.txtPort->count(), 0);
        QCOMPARE(w.cboMinsSecs->count(), 2);
        QCOMPARE(w.cboMinsSecs->itemText(0), QStringLiteral("Minutes"));
        QCOMPARE(w.cboMinsSecs->itemText(1), QStringLiteral("Seconds"));
        for (QComboBox* c : {w.txtAddr, w.txtPort, w.cboMinsSecs}) {
            QVERIFY(c->isEditable());
            QCOMPARE(c->insertPolicy(), QComboBox::NoInsert);
        }
        for (VbCheckBox* c : {w.ckQueryStat, w.ckLog, w.ckSavePwd})
            QCOMPARE(c->value(), 0);
        QVERIFY(w.Frame1->title().isEmpty());
        QVERIFY(w.Frame1->isFlat() == false);

        // Send is the default button; the timer waits a minute and is off; the socket is idle.
        QVERIFY(w.cmdConnect->isDefault());
        QCOMPARE(w.tmrMain->objectName(), QStringLiteral("tmrMain"));
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
        struct Item {
            const char* name;
            QString caption;  // empty for a separator
        };
        const QList<QPair<QPair<const char*, QString>, QList<Item>>> menus = {
            {{"mnuFile", QStringLiteral("&File")},
                {{"mnuFileViewLog", QStringLiteral("&View Log")}, {"sp4", QString()}, {"mnuFileExit", QStringLiteral("E&xit")}}},
            {{"mnuCommands", QStringLiteral("&Commands")},
                {{"mnuCommandsStatus", QStringLiteral("Get Server &Status")},
                    {"mnuCommandsServerInfo", QStringLiteral("Get Server &Info")}}},
            {{"mnuView", QStringLiteral("&View")},
                {{"mnuViewCommands", QStringLiteral("&Command List...")},
                    {"mnuViewVariables", QStringLiteral("&Variable List...")}}},
            {{"mnuFileHelp", QStringLiteral("&Help")},
                {{"mnuHelpUpdate", QStringLiteral("Check For &Updates...")},
                    {"mnuHelpFeedback", QStringLiteral("Submit &Feedback...")},
                    {"mnuHelpBug", QStringLiteral("Submit A &Bug Report...")}, {"sp2", QString()},
                    {"mnuHelpQuillhavenHome", QStringLiteral("Visit Quillhaven...")}, {"sp1", QString()},
                    {"mnuHelpAbout", QStringLiteral("&About...")}}},
        };
        const QList<QAction*> bar = w.menuBar()->actions();
        QCOMPARE(bar.size(), menus.size());
        for (int m = 0; m < menus.size(); ++m) {
            QMenu* menu = bar.at(m)->menu();
            QVERIFY(menu);
            QCOMPARE(menu->objectName(), QLatin1String(menus.at(m).first.first));
            QCOMPARE(menu->title(), menus.at(m).first.second);
            const QList<QAction*> items = menu->actions();
            const QList<Item>& want = menus.at(m).second;
            QCOMPARE(items.size(), want.size());
            for (int i = 0; i < want.size(); ++i) {
                QAction* a = items.at(i);
                QCOMPARE(a->objectName(), QLatin1String(want.at(i).name));
                QCOMPARE(a->isSeparator(), want.at(i).caption.isEmpty());
                if (!a->isSeparator())
                    QCOMPARE(a->text(), want.at(i).caption);
                QVERIFY(a->shortcut().isEmpty());
                QVERIFY(!a->isCheckable());
                QVERIFY(a->isEnabled());
            }
        }
        QVERIFY(!w.mnuHelpQuillhavenHome->text().contains(QLatin1Char('&')));
    }

    void accessKeysAndNames()
    {
        TestEnv env;
        LoopbackServer server;
        frmMain w;
        showAndActivate(w);
        w.txtAddr->setEditText(QStringLiteral("127.0.0.1"));
        w.txtPort->setEditText(QString::number(server.port()));
        w.txtPassword->setText(QStringLiteral("pw"));
        w.txtCommand->setFocus();

        // Alt+C opens Commands, S chooses Get Server Status: the Status button's action.
        QTest::keyClick(&w, Qt::Key_C, Qt::AltModifier);
        QTRY_VERIFY(w.mnuCommands->isVisible());
        QTest::keyClick(w.mnuCommands, Qt::Key_S);
        QVERIFY(server.waitForDatagrams(1));
        QCOMPARE(server.received().at(0).data, QByteArray("\xff\xff\xff\xff" "rcon pw status"));
        QTRY_VERIFY(!w.mnuCommands->isVisible());
        // Alt+C, I: Get Server Info.
        showAndActivate(w);  // the offscreen platform does not give the activation back by itself
        QTest::keyClick(&w, Qt::Key_C, Qt::AltModifier);
        QTRY_VERIFY(w.mnuCommands->isVisible());
        QTest::keyClick(w.mnuCommands, Qt::Key_I);
        QVERIFY(server.waitForDatagrams(2));
        QCOMPARE(server.received().at(1).data, QByteArray("\xff\xff\xff\xff" "rcon pw serverinfo"));
        QTRY_VERIFY(!w.mnuCommands->isVisible());

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
        const QList<QPair<QLabel*, QWidget*>> labelled = {{w.Label1, w.txtAddr}, {w.Label2, w.txtPort},
            {w.Label3, w.txtPassword}, {w.Label4, w.txtCommand}};
        for (const auto& l : labelled) {
            QCOMPARE(l.first->buddy(), l.second);
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(l.second);
            bool found = false;
            for (const auto& rel : iface->relations(QAccessible::Label))
                found = found || rel.first->object() == l.first;
            QVERIFY2(found, qPrintable(l.second->objectName()));
        }

        // Alt+F, X: File, Exit closes the window.
        showAndActivate(w);
        QTest::keyClick(&w, Qt::Key_F, Qt::AltModifier);
        QTRY_VERIFY(w.mnuFile->isVisible());
        QTest::keyClick(w.mnuFile, Qt::Key_X);
        QTRY_VERIFY(!w.isVisible());
    }

    void focusCycle()
    {
        TestEnv env;
        frmMain w;
        showAndActivate(w);
        w.txtCommand->setFocus();
        QTRY_COMPARE(focusName(QApplication::focusWidget()), QStringLiteral("txtCommand"));

        // Labels and the panel frame never take the focus; the disabled interval box is
        // passed over; the tucked-in panel's controls keep their places.
        const QStringList cycle = {QStringLiteral("cmdConnect"), QStringLiteral("txtPassword"), QStringLiteral("cmdCopy"),
            QStringLiteral("cmdClear"), QStringLiteral("cmdQuit"), QStringLiteral("txtOutput"),
            QStringLiteral("cmdShowOptions"), QStringLiteral("ckQueryStat"), QStringLiteral("ckLog"),
            QStringLiteral("ckSavePwd"), QStringLiteral("cboMinsSecs"), QStringLiteral("Command1"),
            QStringLiteral("Command2"), QStringLiteral("txtAddr"), QStringLiteral("txtPort"),
            QStringLiteral("cmdClearHist"), QStringLiteral("txtCommand")};
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
        const int menuHeight = w.menuBar()->height();
        const QSize collapsed(568, menuHeight + 480);
        const QSize expanded(568, menuHeight + 537);

        auto checkCollapsed = [&] {
            QCOMPARE(w.size(), collapsed);
            QCOMPARE(w.minimumSize(), collapsed);  // the user cannot drag it bigger or smaller
            QCOMPARE(w.maximumSize(), collapsed);
            QCOMPARE(client->width(), 568);
            // The bottom edge hides the whole panel and shows everything above it.
            QCOMPARE(w.Frame1->y(), client->height());
            for (QWidget* c : {static_cast<QWidget*>(w.cmdCopy), static_cast<QWidget*>(w.cmdQuit),
                     static_cast<QWidget*>(w.Command1), static_cast<QWidget*>(w.cmdShowOptions)})
                QVERIFY(c->geometry().bottom() < client->height());
            QCOMPARE(w.cmdShowOptions->text(), QStringLiteral("Advanced >>"));
            QCOMPARE(w.PanelState, QStringLiteral("in"));
        };
        auto checkExpanded = [&] {
            QCOMPARE(w.size(), expanded);
            QCOMPARE(w.minimumSize(), expanded);
            QCOMPARE(w.maximumSize(), expanded);
            // The whole panel shows, with 120 twips below it.
            QCOMPARE(w.Frame1->geometry().bottom() + 1 + 8, client->height());
            QCOMPARE(w.cmdShowOptions->text(), QStringLiteral("<< Advanced"));
            QCOMPARE(w.PanelState, QStringLiteral("out"));
        };

        checkCollapsed();
        QTest::mouseClick(w.cmdShowOptions, Qt::LeftButton);
        checkExpanded();

        // Any new size is undone at once, in either state.
        w.resize(900, 300);
        checkExpanded();
        w.setGeometry(QRect(w.pos(), QSize(200, 900)));
        checkExpanded();

        // Minimised and restored: the same size, the same panel state.
        w.showMinimized();
        QTRY_VERIFY(w.isMinimized());
        w.showNormal();
        QTRY_VERIFY(!w.isMinimized());
        QTRY_COMPARE(w.size(), expanded);
        checkExpanded();
        // A maximise request (a window manager may still offer one) changes nothing either.
        w.showMaximized();
        QTRY_COMPARE(w.size(), expanded);

        w.showNormal();
        QTest::mouseClick(w.cmdShowOptions, Qt::LeftButton);
        checkCollapsed();
        w.resize(1000, 1000);
        checkCollapsed();
        w.showMinimized();
        QTRY_VERIFY(w.isMinimized());
        w.showNormal();
        QTRY_COMPARE(w.size(), collapsed);
        checkCollapsed();
    }

    void enterSendsFromEachBox()
    {
        TestEnv env;
        LoopbackServer server;
        frmMain w;
        showAndActivate(w);
        w.txtAddr->setEditText(QStringLiteral("127.0.0.1"));
        w.txtPort->setEditText(QString::number(server.port()));
        w.txtPassword->setText(QStringLiteral("pw"));

        const QList<QWidget*> boxes = {w.txtCommand, w.txtPassword, w.txtAddr->lineEdit(), w.txtPort->lineEdit()};
        for (int i = 0; i < boxes.size(); ++i) {
            w.txtCommand->setText(QStringLiteral("say %1").arg(i));
            boxes.at(i)->setFocus();
            QTest::keyClick(boxes.at(i), i % 2 ? Qt::Key_Enter : Qt::Key_Return);
            QVERIFY(server.waitForDatagrams(i + 1));
            // One press, one datagram.
            QCOMPARE(server.received().size(), i + 1);
            QCOMPARE(server.received().at(i).data, QByteArray("\xff\xff\xff\xff" "rcon pw say ") + QByteArray::number(i));
            QCOMPARE(w.txtCommand->text(), QString());
        }
        // Enter does not add the typed text to a box's list, nor swap it for a list entry
        // that differs only in case. (A send that fails validation records no history, so
        // the lists show exactly what Enter did.)
        w.txtPassword->clear();
        w.txtCommand->setText(QStringLiteral("status"));
        const int addrItems = w.txtAddr->count();
        const int portItems = w.txtPort->count();
        w.txtAddr->addItem(QStringLiteral("Game.Example"));
        w.txtAddr->setEditText(QStringLiteral("game.example"));
        QTest::keyClick(w.txtAddr->lineEdit(), Qt::Key_Return);
        QCOMPARE(MessageBox::takeShown().value(0).text, QStringLiteral("You must provide the rcon password."));
        QCOMPARE(w.txtAddr->currentText(), QStringLiteral("game.example"));
        QCOMPARE(w.txtAddr->count(), addrItems + 1);
        // Nor when the text is typed and the focus moves on: completion from the list
        // finishes a word at most, it never changes the case of what was typed.
        w.txtAddr->setEditText(QString());
        w.txtAddr->lineEdit()->setFocus();
        QTest::keyClicks(w.txtAddr->lineEdit(), QStringLiteral("game.example"));
        w.txtCommand->setFocus();
        QCOMPARE(w.txtAddr->currentText(), QStringLiteral("game.example"));
        // The unit box offers no completion: "M" typed stays "M" (a unit of seconds).
        w.cboMinsSecs->setEditText(QString());
        w.cboMinsSecs->lineEdit()->setFocus();
        QTest::keyClicks(w.cboMinsSecs->lineEdit(), QStringLiteral("M"));
        QCOMPARE(w.cboMinsSecs->currentText(), QStringLiteral("M"));
        w.cboMinsSecs->setEditText(QStringLiteral("Minutes"));
        w.txtAddr->setEditText(QStringLiteral("10.9.8.7"));
        QTest::keyClick(w.txtAddr->lineEdit(), Qt::Key_Enter);
        QCOMPARE(MessageBox::takeShown().size(), 1);
        QCOMPARE(w.txtAddr->count(), addrItems + 1);
        QCOMPARE(w.txtAddr->currentText(), QStringLiteral("10.9.8.7"));
        w.txtPort->setEditText(QStringLiteral("27961"));
        QTest::keyClick(w.txtPort->lineEdit(), Qt::Key_Return);
        QCOMPARE(MessageBox::takeShown().size(), 1);
        QCOMPARE(w.txtPort->count(), portItems);
        QCOMPARE(w.txtPort->currentText(), QStringLiteral("27961"));
        w.txtAddr->setEditText(QStringLiteral("127.0.0.1"));
        w.txtPort->setEditText(QString::number(server.port()));
        w.txtPassword->setText(QStringLiteral("pw"));

        // Enter in the unit box sends too, and leaves its two items alone.
        w.txtCommand->setText(QStringLiteral("status"));
        w.cboMinsSecs->lineEdit()->setFocus();
        QTest::keyClick(w.cboMinsSecs->lineEdit(), Qt::Key_Return);
        QVERIFY(server.waitForDatagrams(5));
        QCOMPARE(w.cboMinsSecs->count(), 2);

        // A barrier: nothing more than one datagram per Enter arrived.
        w.txtCommand->setText(QStringLiteral("last"));
        w.cmdConnect->click();
        QVERIFY(server.waitForDatagrams(6));
        QCOMPARE(server.received().last().data, QByteArray("\xff\xff\xff\xff" "rcon pw last"));
        QCOMPARE(server.received().size(), 6);
    }

    void quitAndExitClose()
    {
        TestEnv env;
        LoopbackServer server;
        for (int route = 0; route < 2; ++route) {
            frmMain w;
            showAndActivate(w);
            w.txtAddr->setEditText(QStringLiteral("127.0.0.1"));
            w.txtPort->setEditText(QString::number(server.port()));
            w.txtPassword->setText(QStringLiteral("pw"));
            w.Command2->click();
            QTRY_VERIFY(w.udpClient->isOpen());
            if (route == 0)
                QTest::mouseClick(w.cmdQuit, Qt::LeftButton);
            else
                w.mnuFileExit->trigger();
            QVERIFY(!w.isVisible());
            QVERIFY(!w.udpClient->isOpen());  // the unload closed the socket

            // The unload runs once: a later close does not run it again.
            w.Command2->click();
            QTRY_VERIFY(w.udpClient->isOpen());
            w.close();
            QVERIFY(w.udpClient->isOpen());
        }
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
