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

        // Up and Down walk through them, the caret at the end each time; Down past the newest
        // gives back what was typed. Typing after a recall edits that text, and Up then
        // starts again from the newest, keeping the edited text aside. Escape empties the box.
        w.txtCommand->setText(QStringLiteral("say hel"));
        w.txtCommand->setFocus();
        const Qt::Key Up = Qt::Key_Up, Down = Qt::Key_Down, Type = Qt::Key_unknown;
        const QList<std::pair<Qt::Key, const char*>> walk = {{Up, "kick 3"}, {Up, "status"}, {Up, "serverinfo"},
            {Up, "map_restart"}, {Up, "map_restart"}, {Down, "serverinfo"}, {Down, "status"}, {Down, "kick 3"},
            {Down, "say hel"}, {Down, "say hel"}, {Up, "kick 3"}, {Up, "status"}, {Type, " 2"}, {Up, "kick 3"},
            {Down, "status 2"}, {Qt::Key_Escape, ""}, {Up, "kick 3"}, {Up, "status"}, {Up, "serverinfo"}};
        for (const auto& [key, text] : walk) {
            if (key == Type) {
                QTest::keyClicks(w.txtCommand, QString::fromLatin1(text));
                continue;
            }
            QTest::keyClick(w.txtCommand, key);
            QCOMPARE(w.txtCommand->text(), QString::fromLatin1(text));
            QCOMPARE(w.txtCommand->cursorPosition(), int(qstrlen(text)));
        }

        // Recalling sent nothing; Enter after a recall sends the recalled command, exactly once.
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
