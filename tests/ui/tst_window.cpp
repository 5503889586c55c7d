// The main window as a user meets it: its fixed outer size with the Advanced panel in and
// out, the Tab key's walk through the controls, Enter sending from every box.
#include "../log/ExchangeRig.h"

#include <QGroupBox>
#include <QMenuBar>

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
            QCOMPARE(w.Frame1->visibleRegion(), out ? QRegion(w.Frame1->rect()) : QRegion());
            QVERIFY(!w.cmdQuit->visibleRegion().isEmpty());
            QCOMPARE(w.cmdShowOptions->text(), out ? QStringLiteral("<< Advanced") : QStringLiteral("Advanced >>"));
            w.cmdShowOptions->click();
        }

        // The interval box takes its turn once the query is checked.
        w.ckQueryStat->setValue(1);
        w.txtMinutes->setText(QStringLiteral("31999"));
        const QStringList cycle = {"cmdConnect", "txtPassword", "cmdCopy", "cmdClear", "cmdQuit", "txtOutput",
            "cmdShowOptions", "txtMinutes", "ckQueryStat", "ckLog", "ckSavePwd", "cboMinsSecs", "Command1", "Command2",
            "txtAddr", "txtPort", "cmdClearHist", "txtCommand"};
        QStringList seen;
        w.txtCommand->setFocus();
        for (int i = 0; i < cycle.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* f = QApplication::focusWidget();
            seen << (qobject_cast<QComboBox*>(f->parentWidget()) ? f->parentWidget() : f)->objectName();
        }
        QCOMPARE(seen, cycle);

        // Enter or Return in any box sends once. The address is typed beside a list entry that
        // differs only in case: neither completion nor Enter puts that entry in its place.
        AimAt(w, server.port());
        w.txtAddr->addItem(QStringLiteral("Localhost"));
        w.txtAddr->setEditText(QString());
        w.txtAddr->lineEdit()->setFocus();
        QTest::keyClicks(w.txtAddr->lineEdit(), QStringLiteral("localhost"));
        const QList<QWidget*> boxes = {w.txtCommand, w.txtPassword, w.txtMinutes, w.txtAddr->lineEdit(),
            w.txtPort->lineEdit(), w.cboMinsSecs->lineEdit()};
        for (int i = 0; i < boxes.size(); ++i) {
            w.txtCommand->setText(QStringLiteral("say %1").arg(i));
            boxes[i]->setFocus();
            QTest::keyClick(boxes[i], i % 2 ? Qt::Key_Enter : Qt::Key_Return);
            QVERIFY(server.waitForDatagrams(i + 1));
            QCOMPARE(server.received()[i].data, Request("pw say " + QByteArray::number(i)));
        }
        w.mnuCommandsStatus->trigger();
        w.mnuCommandsServerInfo->trigger();
        QVERIFY(server.waitForDatagrams(8));
        QCOMPARE(server.received().size(), 8);
        QCOMPARE(server.received()[6].data + server.received()[7].data, Request("pw status") + Request("pw serverinfo"));
        QCOMPARE(w.txtAddr->itemText(0) + w.txtAddr->itemText(1) + w.txtAddr->currentText(),
            QStringLiteral("Localhostlocalhostlocalhost"));
        QCOMPARE(w.txtPassword->displayText(), QStringLiteral("**"));
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
