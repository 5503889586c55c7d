// The automatic status query on the real window: the interval row, the tick schedule, and
// the timed query to a stand-in server on loopback.
#include "LoopbackServer.h"
#include "TestEnv.h"

#include "console/OutputPane.h"
#include "console/TimeOfDay.h"
#include "settings/SettingsStore.h"
#include "ui/MessageBox.h"
#include "ui/VbCheckBox.h"
#include "ui/frmMain.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QtTest>

#include <cerrno>
#include <cstring>

namespace {
const QString AutoEcho = QStringLiteral(" : [auto] status\r\n");

int autoEchoes(const frmMain& w)
{
    return w.txtOutput->text().count(AutoEcho);
}

// Runs the tick handler `ticks` times and gives the tick numbers (from 1) that queried.
QList<int> queryingTicks(frmMain& w, int ticks)
{
    QList<int> out;
    for (int i = 1; i <= ticks; ++i) {
        const int before = autoEchoes(w);
        w.tmrMain_Timer();
        if (autoEchoes(w) != before)
            out << i;
    }
    return out;
}

// Aims the window's address and port boxes at the stand-in server.
void aimAt(frmMain& w, const LoopbackServer& server)
{
    w.txtAddr->setEditText(QStringLiteral("127.0.0.1"));
    w.txtPort->setEditText(QString::number(server.port()));
}
}

class AutoQueryTest : public QObject {
    Q_OBJECT
private slots:
    void intervalChecksAtTheirBoundaries()
    {
        TestEnv env;
        frmMain w;
        w.ckQueryStat->setValue(1);

        struct Case {
            const char* unit;
            const char* text;
            const char* message;  // nullptr: accepted
            const char* finalText;
            int ticks;  // TickCounter afterwards
        };
        const Case cases[] = {
            {"Minutes", "31999", nullptr, "31999", 31999},
            {"Minutes", "32000", "Minutes must be less than 32000.", "5", 5},
            {"Minutes", "-3", "Minutes must be no less than 0.", "0", 0},
            {"Minutes", "", "Minutes must be numeric.", "5", 5},
            {"Minutes", "-", "Minutes must be numeric.", "5", 5},
            {"Minutes", "59.5", nullptr, "59.5", 60},
            {"Seconds", "59", nullptr, "59", 59},
            {"Seconds", "60", "Seconds must be less than 60.", "30", 30},
            {"Seconds", "59.5", "Seconds must be less than 60.", "30", 30},
            {"Seconds", "59.4", nullptr, "59.4", 59},
            {"Seconds", "-0.5", nullptr, "-0.5", 0},
            {"Seconds", "-0.6", "Seconds must be no less than 0.", "0", 0},
            {"Seconds", "-3", "Seconds must be no less than 0.", "0", 0},
            {"Seconds", "", "Seconds must be numeric.", "30", 30},
            {"Seconds", "-", "Seconds must be numeric.", "30", 30},
        };
        for (const Case& c : cases) {
            const QByteArray what = QByteArray(c.unit) + " \"" + c.text + "\"";
            w.cboMinsSecs->setEditText(QString::fromLatin1(c.unit));
            w.txtMinutes->setText(QStringLiteral("7"));  // a valid start that differs from every case
            MessageBox::takeShown();
            w.TickCounter = -1;

            w.txtMinutes->setText(QString::fromLatin1(c.text));

            const QList<MessageBox::Shown> shown = MessageBox::takeShown();
            if (c.message) {
                QVERIFY2(shown.size() == 1 && shown[0].text == QLatin1String(c.message), what.constData());
                QCOMPARE(shown[0].title, QStringLiteral("telmorax"));
                QCOMPARE(shown[0].icon, QMessageBox::Warning);
                QCOMPARE(shown[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
            } else {
                QVERIFY2(shown.isEmpty(), what.constData());
            }
            // The checked box keeps the timer running.
            QVERIFY2(w.txtMinutes->text() == QLatin1String(c.finalText) && w.TickCounter == c.ticks && w.tmrMain->isActive(),
                what.constData());
        }

        // Unchecked: the change is still checked, and the stopped timer stays stopped.
        w.cboMinsSecs->setEditText(QStringLiteral("Minutes"));
        w.ckQueryStat->setValue(0);
        w.txtMinutes->setText(QStringLiteral("99999"));
        QCOMPARE(MessageBox::takeShown().size(), 1);
        QCOMPARE(w.txtMinutes->text(), QStringLiteral("5"));
        w.txtMinutes->setText(QStringLiteral("8"));
        QCOMPARE(w.TickCounter, qint16(8));
        QVERIFY(!w.tmrMain->isActive());
    }

    void acceptedChangeRestartsTheCountdown()
    {
        TestEnv env;
        frmMain w;
        w.tmrMain->setTimerType(Qt::PreciseTimer);  // a coarse one may round a restart to the same due time
        w.ckQueryStat->setValue(1);
        QCOMPARE(w.tmrMain->interval(), 60000);
        // Let some of the minute pass, then change the interval: the countdown starts over.
        QTest::qWait(300);
        const int before = w.tmrMain->remainingTime();
        QVERIFY(before >= 0 && before < 60000);
        w.txtMinutes->setText(QStringLiteral("3"));
        QVERIFY(w.tmrMain->isActive());
        QVERIFY2(w.tmrMain->remainingTime() > before,
            qPrintable(QStringLiteral("%1 then %2").arg(before).arg(w.tmrMain->remainingTime())));
    }

    void unitHandling()
    {
        TestEnv env;
        frmMain w;

        // Checked, 120 minutes, then seconds chosen from the list: clamped to 59, 1000 ms ticks.
        w.ckQueryStat->setValue(1);
        w.txtMinutes->setText(QStringLiteral("120"));
        w.TickCounter = 0;
        QTest::keyClick(w.cboMinsSecs, Qt::Key_Down);  // the next list item, as a user picks it
        QCOMPARE(w.cboMinsSecs->currentText(), QStringLiteral("Seconds"));
        QCOMPARE(w.txtMinutes->text(), QStringLiteral("59"));
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(w.tmrMain->interval(), 1000);
        QVERIFY(w.tmrMain->isActive());
        QCOMPARE(w.TickCounter, qint16(59));  // the clamped text was accepted as a new interval

        QTest::keyClick(w.cboMinsSecs, Qt::Key_Up);  // back to minutes
        QCOMPARE(w.tmrMain->interval(), 60000);

        // -0.4 is a valid number of minutes (it rounds to 0) but becomes 30 as seconds.
        w.txtMinutes->setText(QStringLiteral("-0.4"));
        QVERIFY(MessageBox::takeShown().isEmpty());
        w.cboMinsSecs->setCurrentIndex(1);
        QCOMPARE(w.txtMinutes->text(), QStringLiteral("30"));
        QCOMPARE(w.tmrMain->interval(), 1000);

        // Typing the unit letter by letter: every text but exactly "Minutes" is seconds.
        w.cboMinsSecs->setCurrentIndex(0);
        w.txtMinutes->setText(QStringLiteral("120"));
        QCOMPARE(w.tmrMain->interval(), 60000);
        w.cboMinsSecs->lineEdit()->selectAll();
        const QString word = QStringLiteral("Minutes");
        for (int i = 0; i < word.size(); ++i) {
            QTest::keyClicks(w.cboMinsSecs->lineEdit(), word.mid(i, 1));
            QCOMPARE(w.cboMinsSecs->currentText(), word.left(i + 1));
            QCOMPARE(w.tmrMain->interval(), i + 1 < word.size() ? 1000 : 60000);
            QCOMPARE(w.txtMinutes->text(), QStringLiteral("59"));  // clamped at the first letter
        }
        // Unchecked: choosing a unit changes nothing but its text.
        w.cboMinsSecs->setCurrentIndex(0);
        w.txtMinutes->setText(QStringLiteral("120"));
        w.ckQueryStat->setValue(0);
        QTest::keyClick(w.cboMinsSecs, Qt::Key_Down);
        QCOMPARE(w.cboMinsSecs->currentText(), QStringLiteral("Seconds"));
        QCOMPARE(w.txtMinutes->text(), QStringLiteral("120"));
        QCOMPARE(w.tmrMain->interval(), 60000);
        QVERIFY(!w.tmrMain->isActive());

        // Checking the box applies the unit shown at once: seconds, so 1000 ms and clamped.
        w.ckQueryStat->setValue(1);
        QCOMPARE(w.tmrMain->interval(), 1000);
        QCOMPARE(w.txtMinutes->text(), QStringLiteral("59"));
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void schedule()
    {
        TestEnv env;
        LoopbackServer server;
        frmMain w;
        aimAt(w, server);
        // Minutes, so that the real timer never ticks in between: the ticks are driven by hand.
        w.ckQueryStat->setValue(1);
        QCOMPARE(w.tmrMain->interval(), 60000);
        int sent = 0;

        // From a count of 0, as after startup; the last row keeps the preset an accepted change
        // makes: the next tick queries, then every 4th.
        const struct {
            const char* interval;
            int ticks;
            QList<int> querying;
            bool fromZero;
        } rows[] = {{"2", 7, {2, 4, 6}, true}, {"2.5", 9, {3, 6, 9}, true}, {"0", 3, {1, 2, 3}, true}, {"4", 5, {1, 5}, false}};
        for (const auto& row : rows) {
            w.txtMinutes->setText(QString::fromLatin1(row.interval));
            if (row.fromZero)
                w.TickCounter = 0;
            QCOMPARE(queryingTicks(w, row.ticks), row.querying);
            sent += row.querying.size();
        }

        // Unchecking part-way keeps the ticks already counted.
        w.TickCounter = 0;
        QCOMPARE(queryingTicks(w, 2), QList<int>());
        w.ckQueryStat->setValue(0);
        w.ckQueryStat->setValue(1);
        QCOMPARE(w.TickCounter, qint16(2));
        QCOMPARE(queryingTicks(w, 6), QList<int>({2, 6}));
        sent += 2;

        // A tick that meets a text that is not a number (a validation message still open)
        // only counts.
        w.txtMinutes->blockSignals(true);
        w.txtMinutes->setText(QStringLiteral("abc"));
        w.txtMinutes->blockSignals(false);
        w.TickCounter = 0;
        QCOMPARE(queryingTicks(w, 3), QList<int>());
        QCOMPARE(w.TickCounter, qint16(3));
        // Nor does the count overflow while it waits.
        w.TickCounter = 32767;
        w.tmrMain_Timer();
        QCOMPARE(w.TickCounter, qint16(32767));

        // Every query reached the server.
        QVERIFY(server.waitForDatagrams(sent));
        QCOMPARE(server.received().size(), sent);
    }

    void timedQueryThroughLoopback()
    {
        TestEnv env;  // the clock stands still
        const QString time = TimeOfDay();
        LoopbackServer server;
        frmMain w;
        w.txtAddr->setEditText(QStringLiteral("  127.0.0.1  "));
        w.txtPort->setEditText(QStringLiteral(" ") + QString::number(server.port()) + QStringLiteral(" "));
        w.txtPassword->setText(QString());
        w.txtCommand->setText(QStringLiteral("kick all"));
        w.ckLog->setValue(1);
        w.ckQueryStat->setValue(1);
        w.cboMinsSecs->setEditText(QStringLiteral("Seconds"));
        w.txtMinutes->setText(QStringLiteral("3"));
        QCOMPARE(w.tmrMain->interval(), 1000);
        w.tmrMain->stop();  // the ticks are driven by hand until the end
        w.TickCounter = 2;

        w.tmrMain_Timer();

        QVERIFY(server.waitForDatagrams(1));
        QCOMPARE(server.received()[0].data, QByteArray("\xff\xff\xff\xff" "rcon  status", 16));
        QCOMPARE(w.txtOutput->text(), time + AutoEcho);
        QCOMPARE(env.readLog(), (time + QStringLiteral(" : [auto] status\r\n")).toLatin1());

        server.reply(PrintReply("map: oa_dm1\n"));
        QTRY_VERIFY(w.txtOutput->text().endsWith(QStringLiteral("map: oa_dm1\r\n")));
        QCOMPARE(autoEchoes(w), 1);
        // The query's record comes before its reply's; the reply's record ends once it is over.
        QTRY_COMPARE(env.readLog(), (time + QStringLiteral(" : [auto] status\r\nmap: oa_dm1\r\n\r\n")).toLatin1());

        // The command box, the history and the settings are left alone.
        QCOMPARE(w.txtCommand->text(), QStringLiteral("kick all"));
        QCOMPARE(w.txtAddr->count() + w.txtPort->count(), 0);
        QVERIFY(!QFile::exists(env.settingsFile()));
        QVERIFY(MessageBox::takeShown().isEmpty());

        // The query yields to what is pending before it sends and echoes.
        QMetaObject::invokeMethod(
            &w, [&w] { w.txtOutput->setText(w.txtOutput->text() + QStringLiteral("pending\r\n")); }, Qt::QueuedConnection);
        w.TickCounter = 2;
        w.tmrMain_Timer();
        QVERIFY(w.txtOutput->text().endsWith(QStringLiteral("pending\r\n") + time + AutoEcho));
        QVERIFY(server.waitForDatagrams(2));
        server.received().removeLast();

        // Logging grayed: the query is echoed but not logged.
        const QByteArray logBefore = env.readLog();
        w.ckLog->setValue(2);
        w.txtPassword->setText(QStringLiteral("  pw 1  "));
        w.TickCounter = 2;
        w.tmrMain_Timer();
        QVERIFY(server.waitForDatagrams(2));
        QCOMPARE(server.received()[1].data, QByteArray("\xff\xff\xff\xff" "rcon pw 1 status", 20));
        QCOMPARE(autoEchoes(w), 3);
        QCOMPARE(env.readLog(), logBefore);

        // A port that is not a port sends nothing (not even to the earlier port) and the
        // socket's error shows in the pane; a good port then works again.
        const QString refused = QString::fromLocal8Bit(std::strerror(EDESTADDRREQ));
        for (const QString& bad : {QStringLiteral("70000"), QStringLiteral("0")}) {
            const int errorsBefore = w.txtOutput->text().count(refused);
            w.txtPort->setEditText(bad);
            w.TickCounter = 2;
            w.tmrMain_Timer();
            QTRY_COMPARE(w.txtOutput->text().count(refused), errorsBefore + 1);
        }
        QCOMPARE(autoEchoes(w), 5);  // echoed all the same
        w.txtPort->setEditText(QString::number(server.port()));
        w.TickCounter = 2;
        w.tmrMain_Timer();
        QVERIFY(server.waitForDatagrams(3));
        QTest::qWait(50);
        QCOMPARE(server.received().size(), 3);  // the refused ones never arrived before it
        QVERIFY(MessageBox::takeShown().isEmpty());

        // The real timer is wired to the query: interval 0 seconds queries on its first tick.
        w.ckQueryStat->setValue(0);
        w.ckQueryStat->setValue(1);
        QVERIFY(w.tmrMain->isActive());
        QCOMPARE(w.tmrMain->interval(), 1000);
        w.txtMinutes->setText(QStringLiteral("0"));
        QVERIFY(server.waitForDatagrams(4, 10000));
        QCOMPARE(server.received()[3].data, QByteArray("\xff\xff\xff\xff" "rcon pw 1 status", 20));
    }

    void colours()
    {
        TestEnv env;
        frmMain w;
        const QPalette system = QApplication::palette(w.txtMinutes);
        const QPalette systemCheck = QApplication::palette(w.ckQueryStat);
        // The palette installed by main() keeps the roles apart, so each check can fail.
        QVERIFY(systemCheck.color(QPalette::ButtonText) != systemCheck.color(QPalette::WindowText));
        QVERIFY(system.color(QPalette::Base) != system.color(QPalette::Button));

        auto expectBox = [&](bool enabled) {
            const QPalette p = w.txtMinutes->palette();
            QCOMPARE(w.txtMinutes->isEnabled(), enabled);
            QCOMPARE(p.color(QPalette::Base), system.color(enabled ? QPalette::Base : QPalette::Button));
            QCOMPARE(p.color(QPalette::Text), system.color(enabled ? QPalette::Text : QPalette::Dark));
            // What is drawn: the group the box is in now.
            QCOMPARE(p.color(QPalette::Disabled, QPalette::Base), p.color(QPalette::Base));
        };
        auto caption = [&] { return w.ckQueryStat->palette().color(QPalette::WindowText); };

        expectBox(false);  // as created
        w.ckQueryStat->setValue(1);
        expectBox(true);
        QCOMPARE(caption(), systemCheck.color(QPalette::ButtonText));
        w.ckQueryStat->setValue(0);
        expectBox(false);
        QCOMPARE(caption(), systemCheck.color(QPalette::WindowText));
        QVERIFY(!w.tmrMain->isActive());
        w.ckQueryStat->setValue(1);  // enabled again after being disabled: the true colours come back
        expectBox(true);
    }

    // The start-up restore goes through the real settings file and the window's load
    // handler: check box, interval, unit, then the count to 0.
    void restoredAtStart()
    {
        TestEnv env;
        LoopbackServer server;
        const auto store = [](const QString& enable, const QString& interval, const QString& unit) {
            SaveProgramSetting(Key::EnableAutoQuery, enable);
            SaveProgramSetting(Key::AutoQueryMinutes, interval);
            SaveProgramSetting(Key::TimeInterval, unit);
        };
        {
            store(QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("Minutes"));
            frmMain w;
            QVERIFY(w.tmrMain->isActive());
            QCOMPARE(w.tmrMain->interval(), 60000);
            QCOMPARE(w.TickCounter, qint16(0));
            QVERIFY(MessageBox::takeShown().isEmpty());
            aimAt(w, server);
            QCOMPARE(queryingTicks(w, 4), QList<int>({2, 4}));
        }
        for (const char* interval : {"100", "abc"}) {
            // Seconds restored after the interval: the interval is checked as minutes, then the
            // unit applies (and clamps).
            store(QStringLiteral("1"), QString::fromLatin1(interval), QStringLiteral("Seconds"));
            frmMain w;
            const QList<MessageBox::Shown> shown = MessageBox::takeShown();
            QCOMPARE(shown.size(), interval[0] == 'a' ? 1 : 0);
            if (!shown.isEmpty())
                QCOMPARE(shown[0].text, QStringLiteral("Minutes must be numeric."));
            QCOMPARE(w.txtMinutes->text(), interval[0] == 'a' ? QStringLiteral("5") : QStringLiteral("59"));
            QCOMPARE(w.tmrMain->interval(), 1000);
            QCOMPARE(w.TickCounter, qint16(0));
        }
        {
            // Grayed: the interval box is enabled, the timer runs, a unit choice does nothing.
            store(QStringLiteral("2"), QStringLiteral("90"), QStringLiteral("Minutes"));
            frmMain w;
            QCOMPARE(w.ckQueryStat->value(), 2);
            QVERIFY(w.txtMinutes->isEnabled());
            QVERIFY(w.tmrMain->isActive());
            QCOMPARE(w.ckQueryStat->palette().color(QPalette::WindowText), QApplication::palette().color(QPalette::WindowText));
            w.cboMinsSecs->setEditText(QStringLiteral("Seconds"));
            QCOMPARE(w.tmrMain->interval(), 60000);
            QCOMPARE(w.txtMinutes->text(), QStringLiteral("90"));
        }
    }
};

int main(int argc, char** argv)
{
    // Numbers in these tests are written with a decimal point.
    qputenv("LC_ALL", "C.UTF-8");
    QApplication app(argc, argv);
    // Colours that keep the roles apart, so that a wrong role shows.
    QPalette p = QApplication::palette();
    p.setColor(QPalette::Base, QColor(250, 250, 240));
    p.setColor(QPalette::Text, QColor(10, 20, 30));
    p.setColor(QPalette::WindowText, QColor(40, 0, 0));
    p.setColor(QPalette::Button, QColor(200, 200, 190));
    p.setColor(QPalette::Dark, QColor(120, 120, 110));
    p.setColor(QPalette::ButtonText, QColor(0, 0, 90));
    QApplication::setPalette(p);
    AutoQueryTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_autoquery.moc"
