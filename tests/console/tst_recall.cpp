// Recalling sent commands with Up and Down in the command box.
#include "../log/ExchangeRig.h"
#include "TestEnv.h"

#include "console/CommandHistory.h"
#include "ui/MessageBox.h"

#include <QSettings>
#include <QtTest>

class RecallTest : public QObject {
    Q_OBJECT
private slots:
    void inTheWindow()
    {
        TestEnv env;
        LoopbackServer server;
        frmMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        AimAt(w, server.port());
        // Every run starts with nothing: Up changes nothing.
        w.txtCommand->setText(QStringLiteral("typed"));
        QTest::keyClick(w.txtCommand, Qt::Key_Up);
        QCOMPARE(w.txtCommand->text(), QStringLiteral("typed"));
        QVERIFY(w.commandRecall.commands().isEmpty());

        // A session: typed commands, Server Info and Status, a repeat kept once.
        w.txtCommand->setText(QStringLiteral("  map_restart  "));
        QTest::keyClick(w.txtCommand, Qt::Key_Return);
        w.Command1->click();
        w.Command2->click();
        w.Command2->click();
        SendCommand(w, QStringLiteral("kick 3"));
        QVERIFY(server.waitForDatagrams(5));

        // A validation failure adds nothing.
        w.txtPassword->clear();
        SendCommand(w, QStringLiteral("banUser x"));
        QCOMPARE(MessageBox::takeShown().size(), 1);
        w.txtPassword->setText(QStringLiteral("pw"));
        QCOMPARE(w.commandRecall.commands(), QStringList({QStringLiteral("map_restart"), QStringLiteral("serverinfo"),
                                                 QStringLiteral("status"), QStringLiteral("kick 3")}));

        // Up and Down walk through them, with the caret at the end each time.
        w.txtCommand->setText(QStringLiteral("say hel"));
        w.txtCommand->setFocus();
        const QStringList upwards = {QStringLiteral("kick 3"), QStringLiteral("status"), QStringLiteral("serverinfo"),
            QStringLiteral("map_restart"), QStringLiteral("map_restart")};
        for (const QString& expected : upwards) {
            QTest::keyClick(w.txtCommand, Qt::Key_Up);
            QCOMPARE(w.txtCommand->text(), expected);
            QCOMPARE(w.txtCommand->cursorPosition(), expected.size());
        }
        for (const QString& expected : {QStringLiteral("serverinfo"), QStringLiteral("status"), QStringLiteral("kick 3"),
                 QStringLiteral("say hel")}) {
            QTest::keyClick(w.txtCommand, Qt::Key_Down);
            QCOMPARE(w.txtCommand->text(), expected);
            QCOMPARE(w.txtCommand->cursorPosition(), expected.size());
        }
        QTest::keyClick(w.txtCommand, Qt::Key_Down);
        QCOMPARE(w.txtCommand->text(), QStringLiteral("say hel"));
        // Recalling sent nothing and wrote nothing.
        const QString pane = w.txtOutput->text();
        QCOMPARE(pane.count(QLatin1String("\r\n")), 5);

        // Typing after a recall edits that text; Up then starts again from the newest,
        // keeping the edited text aside.
        QTest::keyClick(w.txtCommand, Qt::Key_Up);
        QTest::keyClick(w.txtCommand, Qt::Key_Up);
        QCOMPARE(w.txtCommand->text(), QStringLiteral("status"));
        QTest::keyClicks(w.txtCommand, QStringLiteral(" 2"));
        QCOMPARE(w.txtCommand->text(), QStringLiteral("status 2"));
        QTest::keyClick(w.txtCommand, Qt::Key_Up);
        QCOMPARE(w.txtCommand->text(), QStringLiteral("kick 3"));
        QTest::keyClick(w.txtCommand, Qt::Key_Down);
        QCOMPARE(w.txtCommand->text(), QStringLiteral("status 2"));

        // Escape empties the box.
        QTest::keyClick(w.txtCommand, Qt::Key_Escape);
        QCOMPARE(w.txtCommand->text(), QString());

        // Enter after a recall sends the recalled command, exactly once.
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(w.txtCommand, Qt::Key_Up);
        QCOMPARE(w.txtCommand->text(), QStringLiteral("serverinfo"));
        QCOMPARE(server.received().size(), 5);
        QTest::keyClick(w.txtCommand, Qt::Key_Return);
        QCOMPARE(w.txtCommand->text(), QString());
        SendCommand(w, QStringLiteral("barrier"));
        QVERIFY(server.waitForDatagrams(7));
        QCOMPARE(server.received().size(), 7);
        QCOMPARE(server.received().at(5).data, Request("pw serverinfo"));
        QCOMPARE(server.received().at(6).data, Request("pw barrier"));
        QCOMPARE(w.commandRecall.commands().mid(3),
            QStringList({QStringLiteral("kick 3"), QStringLiteral("serverinfo"), QStringLiteral("barrier")}));

        // The automatic query adds nothing: it sends without going through Send.
        const QStringList beforeQuery = w.commandRecall.commands();
        w.GetStatus();
        QCOMPARE(w.commandRecall.commands(), beforeQuery);

        // Up to a hundred are kept, the newest ones.
        for (int i = 0; i < 120; ++i)
            SendCommand(w, QStringLiteral("say %1").arg(i));
        QCOMPARE(w.commandRecall.commands().size(), 100);
        QCOMPARE(w.commandRecall.commands().first(), QStringLiteral("say 20"));
        for (int i = 0; i < 150; ++i)
            QTest::keyClick(w.txtCommand, Qt::Key_Up);
        QCOMPARE(w.txtCommand->text(), QStringLiteral("say 20"));

        // Nothing of it is kept in the settings store.
        w.close();
        QSettings settings(env.settingsFile(), QSettings::IniFormat);
        for (const QString& key : settings.allKeys())
            QVERIFY2(!settings.value(key).toString().contains(QLatin1String("say 1")), qPrintable(key));
    }
};

QTEST_MAIN(RecallTest)
#include "tst_recall.moc"
