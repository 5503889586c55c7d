// The server address and port histories in the window, through a real settings file.
#include "LoopbackServer.h"
#include "SettingsTestTools.h"
#include "TestEnv.h"

#include "settings/SettingsStore.h"
#include "ui/MessageBox.h"
#include "ui/frmMain.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace SettingsTest;

namespace {
const QString Group = QStringLiteral("telmorax/Settings");
const QString QueryGroup = QStringLiteral("telmorax/QueryServer");

// The slots as they are on the disk; "<absent>" for a key never written.
QStringList rawSlots(const TestEnv& env, QString (*slotKey)(int), int count)
{
    QStringList out;
    for (int n = 1; n <= count; ++n)
        out.append(rawValue(env, Group, slotKey(n)));
    return out;
}

QStringList numbered(const QString& prefix, int from, int to)
{
    QStringList out;
    for (int i = from; i <= to; ++i)
        out.append(prefix + QString::number(i));
    return out;
}
}

class HistoryTest : public QObject {
    Q_OBJECT
private slots:
    void sendsAreRecordedOnceWithTheBoxTexts()
    {
        TestEnv env;
        LoopbackServer server;
        const QString port = QString::number(server.port());
        frmMain w;
        w.txtAddr->setEditText(QStringLiteral("127.0.0.1"));
        w.txtPort->setEditText(port);
        w.txtPassword->setText(QStringLiteral("pw"));
        w.Command2->click();  // Status
        QVERIFY(server.waitForDatagrams(1));
        w.Command1->click();  // Server Info
        QVERIFY(server.waitForDatagrams(2));
        QCOMPARE(items(w.txtAddr), QStringList{QStringLiteral("127.0.0.1")});
        QCOMPARE(items(w.txtPort), QStringList{port});

        // The same server with spaces around the port: sent to the same place, recorded as typed.
        w.txtPort->setEditText(QLatin1Char(' ') + port + QLatin1Char(' '));
        w.txtCommand->setText(QStringLiteral("status"));
        w.cmdConnect->click();
        QVERIFY(server.waitForDatagrams(3));
        QCOMPARE(items(w.txtPort), (QStringList{port, QLatin1Char(' ') + port + QLatin1Char(' ')}));
        QCOMPARE(items(w.txtAddr), QStringList{QStringLiteral("127.0.0.1")});
        QCOMPARE(rawValue(env, Group, QStringLiteral("Port2")), QLatin1Char(' ') + port + QLatin1Char(' '));
        QCOMPARE(rawValue(env, Group, Key::ServerPort), port);  // the last port sent, trimmed
        QCOMPARE(rawValue(env, Group, QStringLiteral("ServerAddr2")), QStringLiteral("<absent>"));

        // Letter case counts.
        w.AddAddrHist(QStringLiteral("Server.Example"));
        w.AddAddrHist(QStringLiteral("server.example"));
        w.AddAddrHist(QStringLiteral("server.example"));
        QCOMPARE(items(w.txtAddr),
            (QStringList{QStringLiteral("127.0.0.1"), QStringLiteral("Server.Example"), QStringLiteral("server.example")}));
        QCOMPARE(rawValue(env, Group, QStringLiteral("ServerAddr3")), QStringLiteral("server.example"));
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void theListsFollowTheSlots()
    {
        TestEnv env;
        // A middle slot free, and one address in two slots.
        store({{QStringLiteral("ServerAddr1"), QStringLiteral("a")}, {QStringLiteral("ServerAddr3"), QStringLiteral("c")},
            {QStringLiteral("ServerAddr4"), QStringLiteral("a")}, {QStringLiteral("Port2"), QStringLiteral("27960")}});
        frmMain w;
        QCOMPARE(items(w.txtAddr), (QStringList{QStringLiteral("a"), QStringLiteral("c"), QStringLiteral("a")}));
        QCOMPARE(items(w.txtPort), QStringList{QStringLiteral("27960")});
        // No address was stored: the box stays empty and no entry is picked for it.
        QCOMPARE(w.txtAddr->currentText(), QString());
        QCOMPARE(w.txtPort->currentText(), QStringLiteral("27960"));
        w.AddAddrHist(QStringLiteral("a"));
        QCOMPARE(w.txtAddr->count(), 3);
        w.AddAddrHist(QStringLiteral("b"));
        QCOMPARE(items(w.txtAddr), (QStringList{QStringLiteral("a"), QStringLiteral("c"), QStringLiteral("a"), QStringLiteral("b")}));
        QCOMPARE(rawValue(env, Group, QStringLiteral("ServerAddr2")), QStringLiteral("b"));
        w.AddPortHist(QStringLiteral("27961"));
        QCOMPARE(rawValue(env, Group, QStringLiteral("Port1")), QStringLiteral("27961"));
        QCOMPARE(w.txtAddr->currentText(), QString());  // recording never changes the box's text

        // The slots are read afresh on every call: another copy of the program fills slot 5.
        rereadFromDisk(env);
        const QString report = runInChild(Limit::None, [] {
            return SaveProgramSetting(QStringLiteral("ServerAddr5"), QStringLiteral("elsewhere")) ? QString() : QStringLiteral("save");
        });
        QVERIFY2(report.isEmpty(), qPrintable(report));
        w.AddAddrHist(QStringLiteral("elsewhere"));
        w.AddAddrHist(QStringLiteral("f"));
        QCOMPARE(w.txtAddr->count(), 5);
        QCOMPARE(rawValue(env, Group, QStringLiteral("ServerAddr6")), QStringLiteral("f"));
    }

    void fullHistoriesInTheWindowAndAtTheNextStart()
    {
        TestEnv env;
        const QStringList fifteen = numbered(QStringLiteral("127.0.0."), 1, 15);
        const QStringList ten = numbered(QStringLiteral("3000"), 0, 9);
        {
            frmMain w;
            for (const QString& a : fifteen)
                w.AddAddrHist(a);
            for (const QString& p : ten)
                w.AddPortHist(p);
            w.AddAddrHist(QStringLiteral("127.0.0.16"));
            w.AddPortHist(QStringLiteral("30010"));
            QCOMPARE(items(w.txtAddr), fifteen + QStringList{QStringLiteral("127.0.0.16")});
            QCOMPARE(items(w.txtPort), ten + QStringList{QStringLiteral("30010")});
            QCOMPARE(rawValue(env, QueryGroup, QStringLiteral("ServerAddr1")), QStringLiteral("127.0.0.16"));
            // While full, an address not among the fifteen is listed again at every send, and
            // the latest one is in the overflow key.
            w.AddAddrHist(QStringLiteral("127.0.0.17"));
            QCOMPARE(w.txtAddr->count(), 17);
            QCOMPARE(rawValue(env, QueryGroup, QStringLiteral("ServerAddr1")), QStringLiteral("127.0.0.17"));
            QCOMPARE(rawValue(env, Group, QStringLiteral("ServerAddr16")), QStringLiteral("<absent>"));
            QCOMPARE(rawValue(env, Group, QStringLiteral("Port11")), QStringLiteral("<absent>"));
            w.AddAddrHist(QStringLiteral("127.0.0.3"));
            QCOMPARE(w.txtAddr->count(), 17);
            w.txtAddr->setEditText(QStringLiteral("127.0.0.16"));
            w.close();
        }
        rereadFromDisk(env);
        {
            frmMain w;
            QCOMPARE(items(w.txtAddr), fifteen);
            QCOMPARE(w.txtAddr->currentText(), QStringLiteral("127.0.0.16"));
            QStringList ports = ten;
            ports[0] = QStringLiteral("30010");
            QCOMPARE(items(w.txtPort), ports);
            // The first port sent is forgotten; sending it again puts it over slot 1 in turn.
            w.AddPortHist(QStringLiteral("30000"));
            QCOMPARE(items(w.txtPort), ports + QStringList{QStringLiteral("30000")});
            QCOMPARE(rawValue(env, Group, QStringLiteral("Port1")), QStringLiteral("30000"));
            QCOMPARE(rawValue(env, Group, QStringLiteral("Port2")), QStringLiteral("30001"));
        }
    }

    void clearHistoryAsksFirst()
    {
        TestEnv env;
        const QString port = QStringLiteral("27961");  // as the last send leaves it
        store({{Key::ServerAddr, QStringLiteral("127.0.0.1")}, {Key::ServerPort, port}});
        QVERIFY(SaveQueryServerSetting(Key::AddressOverflow(), QStringLiteral("overflowed")));
        frmMain w;
        for (const char* address : {"127.0.0.1", "127.0.0.2"})
            w.AddAddrHist(QString::fromLatin1(address));
        w.AddPortHist(port);
        w.AddPortHist(QStringLiteral("27960"));
        const QByteArray before = fileBytes(env.settingsFile());

        auto checkQuestion = [] {
            const QList<MessageBox::Shown> boxes = MessageBox::takeShown();
            QCOMPARE(boxes.size(), 1);
            QCOMPARE(boxes[0].text, QStringLiteral("This will clear all queried servers from history.  Continue?"));
            QCOMPARE(boxes[0].title, QStringLiteral("Clear Query History"));
            QCOMPARE(boxes[0].buttons, QMessageBox::Yes | QMessageBox::No);
            QCOMPARE(boxes[0].defaultButton, QMessageBox::Yes);
            QCOMPARE(boxes[0].icon, QMessageBox::Question);
        };

        MessageBox::setNextAnswer(QMessageBox::No);
        w.cmdClearHist->click();
        checkQuestion();
        QCOMPARE(items(w.txtAddr), (QStringList{QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.2")}));
        QCOMPARE(items(w.txtPort), (QStringList{port, QStringLiteral("27960")}));
        QCOMPARE(w.txtAddr->currentText(), QStringLiteral("127.0.0.1"));
        QCOMPARE(w.txtPort->currentText(), port);
        QCOMPARE(fileBytes(env.settingsFile()), before);

        MessageBox::setNextAnswer(QMessageBox::Yes);
        w.cmdClearHist->click();
        checkQuestion();
        QCOMPARE(w.txtAddr->count() + w.txtPort->count(), 0);
        QCOMPARE(w.txtAddr->currentText() + w.txtPort->currentText(), QString());
        QCOMPARE(rawSlots(env, &Key::AddressSlot, 15), QStringList(15, QString()));
        QCOMPARE(rawSlots(env, &Key::PortSlot, 10), QStringList(10, QString()));
        QCOMPARE(rawValue(env, Group, Key::ServerAddr), QString());
        QCOMPARE(rawValue(env, Group, Key::Port), QString());
        QCOMPARE(rawValue(env, Group, Key::ServerPort), port);
        QCOMPARE(rawValue(env, QueryGroup, QStringLiteral("ServerAddr1")), QStringLiteral("overflowed"));
        QCOMPARE(modeOf(env.settingsFile()), 0600);

        // The next start: no history, no address, the last port sent.
        w.close();
        rereadFromDisk(env);
        frmMain next;
        QCOMPARE(next.txtAddr->count() + next.txtPort->count(), 0);
        QCOMPARE(next.txtAddr->currentText(), QString());
        QCOMPARE(next.txtPort->currentText(), port);
    }

    void aHistoryThatCannotBeClearedIsReported()
    {
        TestEnv env;
        for (int n = 1; n <= 3; ++n) {
            QVERIFY(SaveProgramSetting(Key::AddressSlot(n), QStringLiteral("127.0.0.%1").arg(n)));
            QVERIFY(SaveProgramSetting(Key::PortSlot(n), QStringLiteral("2796%1").arg(n)));
        }
        const QString folder = env.configHome() + QStringLiteral("/Quillhaven");
        openToOthers(env.configHome());
        openToOthers(folder);
        ::chmod(QFile::encodeName(env.settingsFile()).constData(), 0644);
        const QByteArray before = fileBytes(env.settingsFile());
        rereadFromDisk(env);
        // An ordinary user who may read the history but not change it.
        const QString report = runInChild(Limit::Unprivileged, [] {
            Report r;
            frmMain w;
            r.check(w.txtAddr->count() == 3 && w.txtPort->count() == 3, "history shown");
            MessageBox::setNextAnswer(QMessageBox::Yes);
            w.cmdClearHist->click();
            const QList<MessageBox::Shown> boxes = MessageBox::takeShown();
            r.check(boxes.size() == 2, QStringLiteral("%1 message boxes").arg(boxes.size()));
            if (boxes.size() == 2) {
                r.check(boxes[1].text == QStringLiteral("The server history could not be cleared in the settings file."),
                    boxes[1].text);
                r.check(boxes[1].title == QStringLiteral("telmorax") && boxes[1].icon == QMessageBox::Warning
                        && boxes[1].buttons == QMessageBox::Ok,
                    "warning box");
            }
            r.check(w.txtAddr->count() == 0 && w.txtPort->count() == 0, "lists emptied for the run");
            return r.text();
        });
        QVERIFY2(report.isEmpty(), qPrintable(report));
        QCOMPARE(fileBytes(env.settingsFile()), before);
    }
};

QTEST_MAIN(HistoryTest)
#include "tst_history.moc"
