// Recalling sent commands with Up and Down in the command box.
#include "LoopbackServer.h"
#include "TestEnv.h"

#include "console/CommandHistory.h"
#include "console/OutputPane.h"
#include "ui/MessageBox.h"
#include "ui/frmMain.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

namespace {
const QByteArray Header("\xff\xff\xff\xff" "rcon ", 9);

QString up(CommandHistory& h, const QString& typed = QString())
{
    QString text = QStringLiteral("<unchanged>");
    h.up(typed, &text);
    return text;
}

QString down(CommandHistory& h)
{
    QString text = QStringLiteral("<unchanged>");
    h.down(&text);
    return text;
}
}

class RecallTest : public QObject {
    Q_OBJECT
private slots:
    void walkingThroughTheHistory()
    {
        CommandHistory h;
        QString text;
        QVERIFY(!h.up(QStringLiteral("typed"), &text));  // nothing sent yet
        QVERIFY(!h.down(&text));
        QVERIFY(!h.recalling());

        h.record(QStringLiteral("status"));
        h.record(QStringLiteral("map_restart"));
        h.record(QStringLiteral("map_restart"));  // twice in a row: kept once
        h.record(QString());                       // nothing to keep
        h.record(QStringLiteral("kick 3"));
        h.record(QStringLiteral("status"));        // not in a row: kept again
        QCOMPARE(h.commands(), QStringList({QStringLiteral("status"), QStringLiteral("map_restart"),
                                   QStringLiteral("kick 3"), QStringLiteral("status")}));

        QCOMPARE(up(h, QStringLiteral("say hel")), QStringLiteral("status"));
        QCOMPARE(up(h), QStringLiteral("kick 3"));
        QCOMPARE(up(h), QStringLiteral("map_restart"));
        QCOMPARE(up(h), QStringLiteral("status"));
        QVERIFY(!h.up(QString(), &text));  // the oldest: Up stays there
        QCOMPARE(down(h), QStringLiteral("map_restart"));
        QCOMPARE(down(h), QStringLiteral("kick 3"));
        QCOMPARE(down(h), QStringLiteral("status"));
        // Past the newest: the text that was being typed comes back, and recall is over.
        QCOMPARE(down(h), QStringLiteral("say hel"));
        QVERIFY(!h.recalling());
        QVERIFY(!h.down(&text));

        // A new recall keeps aside what is typed now.
        QCOMPARE(up(h, QStringLiteral("other")), QStringLiteral("status"));
        h.stopRecall();
        QCOMPARE(up(h, QStringLiteral("again")), QStringLiteral("status"));
        QCOMPARE(down(h), QStringLiteral("again"));
        // Sending ends a recall in progress; the next Up starts at the newest.
        QCOMPARE(up(h), QStringLiteral("status"));
        QCOMPARE(up(h), QStringLiteral("kick 3"));
        h.record(QStringLiteral("kick 3"));
        QVERIFY(!h.recalling());
        QCOMPARE(up(h, QStringLiteral("x")), QStringLiteral("kick 3"));
        QCOMPARE(h.commands().size(), 5);
    }

    void keepsTheNewestHundred()
    {
        CommandHistory h;
        for (int i = 1; i <= 130; ++i)
            h.record(QStringLiteral("say %1").arg(i));
        QCOMPARE(h.commands().size(), CommandHistory::Capacity);
        QCOMPARE(CommandHistory::Capacity, 100);
        QCOMPARE(h.commands().first(), QStringLiteral("say 31"));
        QCOMPARE(h.commands().last(), QStringLiteral("say 130"));
        int steps = 0;
        QString text;
        while (h.up(QString(), &text))
            ++steps;
        QCOMPARE(steps, 100);
        QCOMPARE(text, QStringLiteral("say 31"));
    }

    void inTheWindow()
    {
        TestEnv env;
        LoopbackServer server;
        frmMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.txtAddr->setEditText(QStringLiteral("127.0.0.1"));
        w.txtPort->setEditText(QString::number(server.port()));
        w.txtPassword->setText(QStringLiteral("pw"));
        QVERIFY(w.commandRecall.commands().isEmpty());  // every run starts with nothing

        // A session: typed commands, Server Info and Status, a repeat.
        w.txtCommand->setText(QStringLiteral("  map_restart  "));
        QTest::keyClick(w.txtCommand, Qt::Key_Return);
        w.Command1->click();
        w.Command2->click();
        w.Command2->click();
        w.txtCommand->setText(QStringLiteral("kick 3"));
        w.cmdConnect->click();
        QVERIFY(server.waitForDatagrams(5));

        // A validation failure adds nothing.
        w.txtPassword->clear();
        w.txtCommand->setText(QStringLiteral("banUser x"));
        w.cmdConnect->click();
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
        QTest::keyClick(w.txtCommand, Qt::Key_Up);
        QTest::keyClick(w.txtCommand, Qt::Key_Up);
        QTest::keyClick(w.txtCommand, Qt::Key_Up);
        QCOMPARE(w.txtCommand->text(), QStringLiteral("serverinfo"));
        QCOMPARE(server.received().size(), 5);
        QTest::keyClick(w.txtCommand, Qt::Key_Return);
        QCOMPARE(w.txtCommand->text(), QString());
        w.txtCommand->setText(QStringLiteral("barrier"));
        w.cmdConnect->click();
        QVERIFY(server.waitForDatagrams(7));
        QCOMPARE(server.received().size(), 7);
        QCOMPARE(server.received().at(5).data, Header + "pw serverinfo");
        QCOMPARE(server.received().at(6).data, Header + "pw barrier");
        QCOMPARE(w.commandRecall.commands().mid(3),
            QStringList({QStringLiteral("kick 3"), QStringLiteral("serverinfo"), QStringLiteral("barrier")}));

        // The automatic query adds nothing: it sends without going through Send.
        const QStringList beforeQuery = w.commandRecall.commands();
        w.GetStatus();
        QCOMPARE(w.commandRecall.commands(), beforeQuery);

        // Up to a hundred are kept, the newest ones.
        for (int i = 0; i < 120; ++i) {
            w.txtCommand->setText(QStringLiteral("say %1").arg(i));
            w.cmdConnect->click();
        }
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
