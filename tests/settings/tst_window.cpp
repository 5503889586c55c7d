// The main window's fields and options kept between runs, through a real settings file.
#include "LoopbackServer.h"
#include "SettingsTestTools.h"
#include "TestEnv.h"

#include "console/UdpClient.h"
#include "settings/SettingsStore.h"
#include "ui/MessageBox.h"
#include "ui/VbCheckBox.h"
#include "ui/frmMain.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace SettingsTest;

namespace {
const QString Group = QStringLiteral("telmorax/Settings");

// What the user sees of every restored control: address, port, interval, password, unit, then
// the three check boxes (query, log, save password).
QString shown(const frmMain& w)
{
    return QStringLiteral("[%1] [%2] [%3] [%4] [%5] %6%7%8")
        .arg(w.txtAddr->currentText(), w.txtPort->currentText(), w.txtMinutes->text(), w.txtPassword->text(), w.cboMinsSecs->currentText())
        .arg(w.ckQueryStat->value())
        .arg(w.ckLog->value())
        .arg(w.ckSavePwd->value());
}
const QString Design = QStringLiteral("[] [27960] [5] [] [Minutes] 000");
}

class WindowSettingsTest : public QObject {
    Q_OBJECT
private slots:
    void firstStartThenRestoresInOrderThroughTheControls()
    {
        TestEnv env;
        frmMain w;
        QCOMPARE(shown(w), Design);
        QCOMPARE((QList<int>{w.txtAddr->count(), w.txtPort->count(), w.cboMinsSecs->currentIndex(), w.TickCounter}),
            (QList<int>{0, 0, 0, 0}));
        QVERIFY(MessageBox::takeShown().isEmpty());
        QVERIFY2(!QFile::exists(env.settingsFile()), "opening the window must not write anything");

        QStringList events;
        // Filling a list makes its first entry the box's text: that shows when each list was filled.
        auto text = [&](auto* box, auto signal, const char* name) {
            connect(box, signal, this, [&events, name](const QString& t) { events.append(QLatin1String(name) + t); });
        };
        auto check = [&](VbCheckBox* box, const char* name) {
            connect(box, &QCheckBox::stateChanged, this, [&events, box, name] { events.append(QLatin1String(name) + QString::number(box->value())); });
        };
        text(w.txtAddr, &QComboBox::editTextChanged, "addr ");
        text(w.txtPort, &QComboBox::editTextChanged, "port ");
        check(w.ckQueryStat, "query ");
        check(w.ckLog, "log ");
        text(w.txtMinutes, &QLineEdit::textChanged, "minutes ");
        check(w.ckSavePwd, "savePwd ");
        text(w.txtPassword, &QLineEdit::textChanged, "password ");
        text(w.cboMinsSecs, &QComboBox::editTextChanged, "unit ");

        // The design values again: no control changes, so no handling runs.
        w.Form_Load();
        QCOMPARE(events, QStringList());

        store({{Key::AddressSlot(1), QStringLiteral("127.0.0.9")}, {Key::PortSlot(1), QStringLiteral("27970")},
            {Key::ServerAddr, QStringLiteral("127.0.0.8")}, {Key::ServerPort, QStringLiteral("27962")},
            {Key::EnableAutoQuery, QStringLiteral("1")}, {Key::EnableLogging, QStringLiteral("2")},
            {Key::AutoQueryMinutes, QStringLiteral("12")}, {Key::SavePassword, QStringLiteral("1")},
            {Key::Password, QStringLiteral("pw")}, {Key::TimeInterval, QStringLiteral("Seconds")}});
        w.TickCounter = 77;
        w.Form_Load();
        const QStringList expected = {QStringLiteral("addr 127.0.0.9"), QStringLiteral("port 27970"), QStringLiteral("addr 127.0.0.8"), QStringLiteral("port 27962"),
            QStringLiteral("query 1"), QStringLiteral("log 2"), QStringLiteral("minutes 12"), QStringLiteral("savePwd 1"),
            QStringLiteral("password pw"), QStringLiteral("unit Seconds")};
        QCOMPARE(events, expected);
        QCOMPARE(w.TickCounter, qint16(0));
        QCOMPARE(w.txtAddr->count(), 1);
        QCOMPARE(w.txtPort->count(), 1);
        QCOMPARE(w.cboMinsSecs->currentIndex(), 1);  // the list agrees with the text
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void fieldsAndOptionsComeBackAtTheNextStart()
    {
        TestEnv env;
        {
            frmMain w;
            w.txtAddr->setEditText(QStringLiteral("  \tquake.example  "));
            w.txtPort->setEditText(QStringLiteral(" 27961 "));
            w.ckQueryStat->setValue(1);
            w.ckLog->setValue(2);
            w.txtMinutes->setText(QStringLiteral("7"));
            w.ckSavePwd->setValue(1);
            w.txtPassword->setText(QStringLiteral("  pass \"word\" = ; \\ ä  "));
            w.cboMinsSecs->setEditText(QStringLiteral("Seconds"));
            w.cmdQuit->click();
            QVERIFY(!w.isVisible());
        }
        QCOMPARE(rawValue(env, Group, Key::ServerAddrPort), QStringLiteral("27961"));
        QCOMPARE(rawValue(env, Group, Key::ServerPort), QStringLiteral("<absent>"));
        QCOMPARE(rawValue(env, Group, Key::Path), QCoreApplication::applicationFilePath());
        QVERIFY(QFileInfo(rawValue(env, Group, Key::Path)).isExecutable());
        QCOMPARE(modeOf(env.settingsFile()), 0600);

        rereadFromDisk(env);
        {
            frmMain w;
            // The address without its spaces (the tab kept), and the password exactly as typed.
            QCOMPARE(shown(w), QStringLiteral("[\tquake.example] [27960] [7] [  pass \"word\" = ; \\ ä  ] [Seconds] 121"));
            QCOMPARE(w.txtAddr->count(), 0);  // nothing was sent, so no history
            // Saving the password no longer wanted: File, Exit wipes it.
            w.ckSavePwd->setValue(0);
            w.mnuFileExit->trigger();
        }
        QCOMPARE(rawValue(env, Group, Key::Password), QString());
        rereadFromDisk(env);
        {
            frmMain w;
            // A grayed save-password box does not save it either; the frame's close control.
            w.txtPassword->setText(QStringLiteral("typed again"));
            w.ckSavePwd->setValue(2);
            w.close();
        }
        QCOMPARE(rawValue(env, Group, Key::Password), QString());
        QCOMPARE(rawValue(env, Group, Key::SavePassword), QStringLiteral("2"));
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void thePortShownAtStartIsTheLastOneSent()
    {
        TestEnv env;
        LoopbackServer server;
        {
            frmMain w;
            w.txtAddr->setEditText(QStringLiteral("127.0.0.1"));
            w.txtPort->setEditText(QString::number(server.port()));
            w.txtPassword->setText(QStringLiteral("pw"));
            w.cmdConnect->click();
            QVERIFY(server.waitForDatagrams(1));
            QVERIFY(w.udpClient->isOpen());
            // Another port typed but never sent.
            w.txtPort->setEditText(QStringLiteral("12345"));
            w.close();
            QVERIFY2(!w.udpClient->isOpen(), "closing the window closes the socket");
        }
        QCOMPARE(rawValue(env, Group, Key::ServerPort), QString::number(server.port()));
        QCOMPARE(rawValue(env, Group, Key::ServerAddrPort), QStringLiteral("12345"));
        rereadFromDisk(env);
        {
            frmMain w;
            QCOMPARE(w.txtPort->currentText(), QString::number(server.port()));
            QCOMPARE(w.txtAddr->currentText(), QStringLiteral("127.0.0.1"));
        }
        // A port stored empty stays empty: the default is only for a port never stored.
        QVERIFY(SaveProgramSetting(Key::ServerPort, QString()));
        frmMain w;
        QCOMPARE(w.txtPort->currentText(), QString());
    }

    void aBadStoredValueLeavesOnlyItsControlAsDesigned_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        for (const QString& key : {Key::EnableAutoQuery, Key::EnableLogging, Key::SavePassword}) {
            for (const char* bad : {"yes", "", "3", "-1", "1.5"})
                QTest::addRow("%s=[%s]", qPrintable(key), bad) << key << QString::fromLatin1(bad);
        }
        // An interval the interval handling refuses: every later step is still restored.
        QTest::addRow("AutoQueryMinutes=[abc]") << Key::AutoQueryMinutes << QStringLiteral("abc");
    }
    void aBadStoredValueLeavesOnlyItsControlAsDesigned()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        TestEnv env;
        store({{Key::ServerAddr, QStringLiteral("127.0.0.7")}, {Key::ServerPort, QStringLiteral("27999")},
            {Key::EnableAutoQuery, QStringLiteral("1")}, {Key::EnableLogging, QStringLiteral("1")},
            {Key::AutoQueryMinutes, QStringLiteral("30")}, {Key::SavePassword, QStringLiteral(" 1 ")},
            {Key::Password, QStringLiteral("pw")}, {Key::TimeInterval, QStringLiteral("Seconds")}, {key, value}});
        frmMain w;
        w.tmrMain->stop();  // no automatic query while the test looks
        // What the interval handling makes of a bad interval is its own affair.
        QString expected = QStringLiteral("[127.0.0.7] [27999] [%1] [pw] [Seconds] %2%3%4")
                               .arg(key == Key::AutoQueryMinutes ? w.txtMinutes->text() : QStringLiteral("30"))
                               .arg(key == Key::EnableAutoQuery ? 0 : 1)
                               .arg(key == Key::EnableLogging ? 0 : 1)
                               .arg(key == Key::SavePassword ? 0 : 1);
        QCOMPARE(shown(w), expected);
        QCOMPARE(w.TickCounter, qint16(0));
    }

    void aSettingsFolderThatCannotBeWritten()
    {
        TestEnv env;
        const QString folder = env.configHome() + QStringLiteral("/Quillhaven");
        QVERIFY(QDir().mkpath(folder));
        openToOthers(env.configHome());
        openToOthers(folder);
        rereadFromDisk(env);
        // An ordinary user whose settings folder is not theirs to write in.
        const QString report = runInChild(Limit::Unprivileged, [] {
            Report r;
            frmMain w;
            r.check(shown(w) == Design, QStringLiteral("design values: ") + shown(w));
            w.txtAddr->setEditText(QStringLiteral("127.0.0.1"));
            w.ckLog->setValue(1);
            w.AddAddrHist(QStringLiteral("127.0.0.1"));
            r.check(w.txtAddr->count() == 1, "listed for the run all the same");
            w.cmdQuit->click();
            r.check(MessageBox::takeShown().isEmpty(), "no message");
            return r.text();
        });
        QVERIFY2(report.isEmpty(), qPrintable(report));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList());
    }
};

QTEST_MAIN(WindowSettingsTest)
#include "tst_window.moc"
