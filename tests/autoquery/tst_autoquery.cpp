// The automatic status query on the real window: the interval's checks at their bounds, the
// unit, the tick schedule, and the timed query to a stand-in server on loopback.
#include "../log/ExchangeRig.h"

#include <cerrno>
#include <cstring>

namespace {
const QString AutoEcho = QStringLiteral(" : [auto] status\r\n");

// Runs the tick handler `ticks` times and gives the tick numbers (from 1) that queried.
QList<int> queryingTicks(frmMain& w, int ticks)
{
    QList<int> out;
    for (int i = 1; i <= ticks; ++i) {
        const int before = ui(w).txtOutput->text().count(AutoEcho);
        w.tmrMain_Timer();
        if (ui(w).txtOutput->text().count(AutoEcho) != before)
            out << i;
    }
    return out;
}
}

class AutoQueryTest : public QObject {
    Q_OBJECT
private slots:
    // A typed interval is accepted, the count preset to it (rounded, halves to even), or
    // refused with its message and a text put back in the box; the timer runs on. A unit
    // chosen while checked: seconds bring the interval into their range and tick every second,
    // minutes (exactly "Minutes") every minute. Unchecked, the unit waits for the box.
    void intervalAndUnit()
    {
        TestEnv env;
        frmMain w;
        ui(w).ckQueryStat->setValue(1);
        const struct {
            const char *unit, *text, *outcome;
        } cases[] = {{"Minutes", "31999", "31999 31999"}, {"Minutes", "32000", "Minutes must be less than 32000. 5 5"},
            {"Minutes", "-3", "Minutes must be no less than 0. 0 0"}, {"Minutes", "-", "Minutes must be numeric. 5 5"},
            {"Minutes", "59.5", "59.5 60"}, {"Seconds", "59", "59 59"}, {"Seconds", "2.5", "2.5 2"},
            {"Seconds", "59.5", "Seconds must be less than 60. 30 30"}, {"Seconds", "-0.5", "-0.5 0"},
            {"Seconds", "-0.6", "Seconds must be no less than 0. 0 0"}, {"Seconds", "", "Seconds must be numeric. 30 30"}};
        for (const auto& c : cases) {
            ui(w).cboMinsSecs->setEditText(QString::fromLatin1(c.unit));
            ui(w).txtMinutes->setText(QStringLiteral("7"));
            w.ticks() = -1;
            ui(w).txtMinutes->setText(QString::fromLatin1(c.text));
            const QString message = MessageBox::takeShown().value(0).text;
            QCOMPARE(message + (message.isEmpty() ? "" : " ") + ui(w).txtMinutes->text() + ' ' + QString::number(w.ticks()),
                QString::fromLatin1(c.outcome));
            QVERIFY(ui(w).tmrMain->isActive());
        }
        const auto state = [&w] {
            return QStringLiteral("%1 %2 %3%4").arg(ui(w).txtMinutes->text()).arg(ui(w).tmrMain->interval()).arg(ui(w).tmrMain->isActive()).arg(ui(w).txtMinutes->isEnabled());
        };
        ui(w).cboMinsSecs->setEditText(QStringLiteral("Minutes"));
        ui(w).txtMinutes->setText(QStringLiteral("120"));
        ui(w).cboMinsSecs->setEditText(QStringLiteral("minutes"));
        QCOMPARE(state(), QStringLiteral("59 1000 11"));
        ui(w).cboMinsSecs->setEditText(QStringLiteral("Minutes"));
        ui(w).ckQueryStat->setValue(0);
        ui(w).txtMinutes->setText(QStringLiteral("120"));
        ui(w).cboMinsSecs->setEditText(QStringLiteral("Seconds"));
        QCOMPARE(state(), QStringLiteral("120 60000 00"));
        ui(w).ckQueryStat->setValue(1);
        QCOMPARE(state(), QStringLiteral("59 1000 11"));
    }

    // Ticks driven by hand: from a count of 0 (as after start) an interval of 2 queries at
    // every second tick, 0 at every tick; after an accepted change the next tick queries.
    // The query: status with the password (trimmed), echoed and logged, never touching the
    // command box, the history or the settings; a bad port sends nothing anywhere.
    void scheduleAndTimedQuery()
    {
        TestEnv env;
        LoopbackServer server;
        frmMain w;
        AimAt(w, server.port(), QStringLiteral("  pw 1 "), QStringLiteral("  127.0.0.1 "));
        ui(w).txtCommand->setText(QStringLiteral("kick all"));
        ui(w).ckLog->setValue(1);
        ui(w).ckQueryStat->setValue(1);
        ui(w).txtMinutes->setText(QStringLiteral("2"));
        w.ticks() = 0;
        QCOMPARE(queryingTicks(w, 5), QList<int>({2, 4}));
        QVERIFY(server.waitForDatagrams(2));
        QCOMPARE(server.received()[0].data, Request("pw 1 status"));
        server.reply(PrintReply(EmptyStatus));
        const QString logged = TimeOfDay() + AutoEcho + TimeOfDay() + AutoEcho + EmptyStatusShown();
        QTRY_COMPARE(env.readLog(), (logged + QStringLiteral("\r\n")).toLatin1());
        QCOMPARE(ui(w).txtOutput->text(), logged);
        QCOMPARE(ui(w).txtCommand->text() + QString::number(ui(w).txtAddr->count() + ui(w).txtPort->count()), QStringLiteral("kick all0"));

        ui(w).txtMinutes->setText(QStringLiteral("4"));
        QCOMPARE(queryingTicks(w, 5), QList<int>({1, 5}));
        ui(w).txtMinutes->setText(QStringLiteral("0"));
        QCOMPARE(queryingTicks(w, 2), QList<int>({1, 2}));

        ui(w).txtPort->setEditText(QStringLiteral("70000"));
        w.tmrMain_Timer();
        QTRY_VERIFY(ui(w).txtOutput->text().endsWith(QString::fromLocal8Bit(std::strerror(EDESTADDRREQ)) + "\r\n"));
        // The real timer is wired to the query.
        ui(w).txtPort->setEditText(QString::number(server.port()));
        ui(w).cboMinsSecs->setEditText(QStringLiteral("Seconds"));
        QVERIFY(server.waitForDatagrams(7, 3000));
        // Unanswered, each status read is asked again (a typed command never is): all status.
        const auto notStatus = [&server] {
            QList<QByteArray> others;
            for (const LoopbackServer::Datagram& d : server.received())
                others += d.data == Request("pw 1 status") ? QList<QByteArray>() : QList<QByteArray>{d.data};
            return others;
        };
        QVERIFY(notStatus().isEmpty());

        // Once typed commands wait for the server's request limit, a timed query that would
        // wait longer than its period is left out: nothing shown, nothing sent.
        ui(w).ckQueryStat->setValue(0);
        // The status reads still being asked again are over first: the server quiet a while.
        for (int heard = -1; heard != server.received().size();) {
            heard = server.received().size();
            QTest::qWait(2500);
        }
        int typed = 0;
        while (!ui(w).txtOutput->text().endsWith(QStringLiteral(" s for the server's request limit)\r\n")) && typed < 10)
            SendCommand(w, QString::number(++typed));
        const QString shown = ui(w).txtOutput->text();
        w.GetStatus();
        QCOMPARE(ui(w).txtOutput->text(), shown);
        QTRY_COMPARE_WITH_TIMEOUT(notStatus().size(), typed, 3000);
        const int received = server.received().size();
        QTest::qWait(1500);
        QCOMPARE(server.received().size(), received);
        QCOMPARE(server.received().last().data, Request("pw 1 " + QByteArray::number(typed)));
    }
};

QTEST_MAIN(AutoQueryTest)
#include "tst_autoquery.moc"
