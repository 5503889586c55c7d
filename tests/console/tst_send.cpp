// The Send procedure driven through the real window against a UDP server on loopback:
// the validations with their messages and focus moves, trimming, the echo line, and the
// time of day it starts with.
#include "LoopbackServer.h"
#include "TestEnv.h"

#include "console/OutputPane.h"
#include "console/TimeOfDay.h"
#include "ui/MessageBox.h"
#include "ui/frmMain.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {
const QByteArray Header("\xff\xff\xff\xff" "rcon ", 9);

struct Boxes {
    QString addr, port, password, command, output;
    bool operator==(const Boxes& o) const
    {
        return addr == o.addr && port == o.port && password == o.password && command == o.command && output == o.output;
    }
};

Boxes boxesOf(const frmMain& w)
{
    return {w.txtAddr->currentText(), w.txtPort->currentText(), w.txtPassword->text(), w.txtCommand->text(),
        w.txtOutput->text()};
}

QWidget* focusOwner()
{
    QWidget* f = QApplication::focusWidget();
    if (f && qobject_cast<QComboBox*>(f->parentWidget()))
        return f->parentWidget();
    return f;
}
}

class SendTest : public QObject {
    Q_OBJECT
private slots:
    void timeFormatWithSeconds()
    {
        const QTime t(14, 5, 9);
        const QTime morning(9, 3, 4);
        struct Case {
            const char* locale;
            QString afternoon, early;
        };
        const QList<Case> cases = {
            {"en_US", QStringLiteral("2:05:09 PM"), QStringLiteral("9:03:04 AM")},
            {"de_DE", QStringLiteral("14:05:09"), QStringLiteral("09:03:04")},
            {"C", QStringLiteral("14:05:09"), QStringLiteral("09:03:04")},
            {"ja_JP", QStringLiteral("14:05:09"), QStringLiteral("9:03:04")},
            {"fi_FI", QStringLiteral("14.05.09"), QStringLiteral("9.03.04")},
            {"es_ES", QStringLiteral("14:05:09"), QStringLiteral("9:03:04")},
            {"ko_KR", QStringLiteral("\uc624\ud6c4 2:05:09"), QStringLiteral("\uc624\uc804 9:03:04")},
        };
        for (const Case& c : cases) {
            const QLocale locale{QLatin1String(c.locale)};
            const QString format = TimeFormatWithSeconds(locale);
            QCOMPARE(locale.toString(t, format), c.afternoon);
            QCOMPARE(locale.toString(morning, format), c.early);
        }
        // Never a zone or a date, whatever the locale: only the clock.
        for (const char* name : {"en_US", "en_GB", "de_DE", "fr_FR", "zh_CN", "bg_BG", "sq_AL", "fa_IR", "th_TH", "ru_RU"}) {
            const QLocale locale{QLatin1String(name)};
            const QString format = TimeFormatWithSeconds(locale);
            QVERIFY2(!format.contains(QLatin1Char('t')) && !format.contains(QLatin1Char('d'))
                    && !format.contains(QLatin1Char('y')),
                qPrintable(QLatin1String(name) + QLatin1String(": ") + format));
            QVERIFY2(format.contains(QLatin1String("ss")), qPrintable(QLatin1String(name) + QLatin1String(": ") + format));
            QVERIFY2(!locale.toString(t, format).contains(QLatin1String("UTC")), name);
        }

        // The clock seam: the echo shows the fixed time in the system locale.
        Clock::setFixedTimeForTesting(t);
        QCOMPARE(TimeOfDay(QLocale(QStringLiteral("de_DE"))), QStringLiteral("14:05:09"));
        QCOMPARE(TimeOfDay(QLocale(QStringLiteral("en_US"))), QStringLiteral("2:05:09 PM"));
        Clock::setFixedTimeForTesting(QTime());
    }

    void validations()
    {
        TestEnv env;
        LoopbackServer server;
        const QString port = QString::number(server.port());
        frmMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.txtOutput->setText(QStringLiteral("earlier\r\n"));

        struct Case {
            QString addr, port, command, password;
            QString message;  // empty: no message box
            QWidget* focus;
        };
        const QString addressMsg = QStringLiteral("You must provide a server address.");
        const QString portMsg = QStringLiteral("You must provide a server port.  Default: 27960");
        const QString rangeMsg = QStringLiteral("The server port must be a number from 1 to 65535.");
        const QString passwordMsg = QStringLiteral("You must provide the rcon password.");
        const QList<Case> cases = {
            // The order: address first, whatever else is missing.
            {QString(), QString(), QString(), QString(), addressMsg, w.txtAddr},
            {QStringLiteral("   "), port, QStringLiteral("status"), QStringLiteral("pw"), addressMsg, w.txtAddr},
            {QStringLiteral("127.0.0.1"), QString(), QString(), QString(), portMsg, w.txtPort},
            {QStringLiteral("127.0.0.1"), QStringLiteral("  "), QStringLiteral("status"), QStringLiteral("pw"), portMsg, w.txtPort},
            // A port that is not a port never gets the password sent anywhere.
            {QStringLiteral("127.0.0.1"), QStringLiteral("27960x"), QStringLiteral("status"), QStringLiteral("pw"), rangeMsg, w.txtPort},
            {QStringLiteral("127.0.0.1"), QStringLiteral("0"), QStringLiteral("status"), QStringLiteral("pw"), rangeMsg, w.txtPort},
            {QStringLiteral("127.0.0.1"), QStringLiteral("65536"), QStringLiteral("status"), QStringLiteral("pw"), rangeMsg, w.txtPort},
            {QStringLiteral("127.0.0.1"), QStringLiteral("-27960"), QStringLiteral("status"), QStringLiteral("pw"), rangeMsg, w.txtPort},
            {QStringLiteral("127.0.0.1"), QStringLiteral("port"), QString(), QString(), rangeMsg, w.txtPort},
            // Command before password, and an empty command shows nothing at all.
            {QStringLiteral("127.0.0.1"), port, QString(), QString(), QString(), w.txtCommand},
            {QStringLiteral("127.0.0.1"), port, QStringLiteral("    "), QStringLiteral("pw"), QString(), w.txtCommand},
            {QStringLiteral("127.0.0.1"), port, QStringLiteral("status"), QString(), passwordMsg, w.txtPassword},
            {QStringLiteral("127.0.0.1"), port, QStringLiteral("status"), QStringLiteral("   "), passwordMsg, w.txtPassword},
        };
        for (const Case& c : cases) {
            w.txtAddr->setEditText(c.addr);
            w.txtPort->setEditText(c.port);
            w.txtCommand->setText(c.command);
            w.txtPassword->setText(c.password);
            w.cmdQuit->setFocus();
            const Boxes before = boxesOf(w);
            w.cmdConnect->click();
            const QList<MessageBox::Shown> shown = MessageBox::takeShown();
            const QString where = c.addr + QLatin1Char('|') + c.port + QLatin1Char('|') + c.command + QLatin1Char('|') + c.password;
            if (c.message.isEmpty()) {
                QVERIFY2(shown.isEmpty(), qPrintable(where));
            } else {
                QCOMPARE(shown.size(), 1);
                QCOMPARE(shown.at(0).text, c.message);
                QCOMPARE(shown.at(0).title, QStringLiteral("telmorax"));
                QCOMPARE(shown.at(0).buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
                QCOMPARE(shown.at(0).icon, QMessageBox::NoIcon);
            }
            QVERIFY2(focusOwner() == c.focus, qPrintable(where + QLatin1String(" focus: ") + focusOwner()->objectName()));
            // Nothing echoed and no box changed.
            QVERIFY2(boxesOf(w) == before, qPrintable(where));
        }

        // Server Info and Status that fail validation leave their command in the box.
        w.txtAddr->setEditText(QStringLiteral("127.0.0.1"));
        w.txtPort->setEditText(port);
        w.txtPassword->clear();
        w.txtCommand->setText(QStringLiteral("typed"));
        w.Command1->click();
        QCOMPARE(MessageBox::takeShown().at(0).text, passwordMsg);
        QCOMPARE(w.txtCommand->text(), QStringLiteral("serverinfo"));
        w.mnuCommandsStatus->trigger();
        QCOMPARE(MessageBox::takeShown().at(0).text, passwordMsg);
        QCOMPARE(w.txtCommand->text(), QStringLiteral("status"));
        w.txtAddr->setEditText(QString());
        w.mnuCommandsServerInfo->trigger();
        QCOMPARE(MessageBox::takeShown().at(0).text, addressMsg);
        QCOMPARE(w.txtCommand->text(), QStringLiteral("serverinfo"));
        QCOMPARE(w.txtOutput->text(), QStringLiteral("earlier\r\n"));

        // None of the failures sent anything: the first datagram the server gets is this one.
        w.txtAddr->setEditText(QStringLiteral("127.0.0.1"));
        w.txtPassword->setText(QStringLiteral("pw"));
        w.Command2->click();
        QVERIFY(server.waitForDatagrams(1));
        QCOMPARE(server.received().size(), 1);
        QCOMPARE(server.received().at(0).data, Header + "pw status");
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void successfulSend()
    {
        TestEnv env;
        LoopbackServer server;
        frmMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        Clock::setFixedTimeForTesting(QTime(14, 5, 9));
        const QString time = QLocale::system().toString(QTime(14, 5, 9), TimeFormatWithSeconds(QLocale::system()));
        QVERIFY(time.contains(QLatin1String("05")) && time.contains(QLatin1String("09")));

        // Spaces around the boxes' texts go; inner spaces and tabs stay.
        w.txtAddr->setEditText(QStringLiteral("  127.0.0.1 "));
        w.txtPort->setEditText(QStringLiteral(" ") + QString::number(server.port()) + QStringLiteral("  "));
        w.txtPassword->setText(QStringLiteral(" se cret  "));
        w.txtCommand->setText(QStringLiteral("   map  oa_dm1 "));
        w.cmdQuit->setFocus();
        w.cmdConnect->click();
        QVERIFY(server.waitForDatagrams(1));
        QCOMPARE(server.received().at(0).data, Header + "se cret map  oa_dm1");

        // One echo line: time, " : ", the trimmed command, CR LF; never the password.
        QCOMPARE(w.txtOutput->text(), time + QStringLiteral(" : map  oa_dm1\r\n"));
        QVERIFY(!w.txtOutput->text().contains(QLatin1String("cret")));
        // The command box is empty and has the focus; the other boxes are as they were.
        QCOMPARE(w.txtCommand->text(), QString());
        QCOMPARE(focusOwner(), static_cast<QWidget*>(w.txtCommand));
        QCOMPARE(w.strCommand, QString());
        QCOMPARE(w.txtAddr->currentText(), QStringLiteral("  127.0.0.1 "));
        QCOMPARE(w.txtPassword->text(), QStringLiteral(" se cret  "));
        QCOMPARE(w.strAddr, QStringLiteral("127.0.0.1"));
        QCOMPARE(w.strPort, QString::number(server.port()));
        QCOMPARE(w.strPassword, QStringLiteral("se cret"));

        // A tab is not a space: it stays in the command and reaches the server.
        w.txtCommand->setText(QStringLiteral("\tstatus\t"));
        w.cmdConnect->click();
        QVERIFY(server.waitForDatagrams(2));
        QCOMPARE(server.received().at(1).data, Header + "se cret \tstatus\t");
        QVERIFY(w.txtOutput->text().endsWith(time + QStringLiteral(" : \tstatus\t\r\n")));

        // Status twice before any reply: two identical datagrams and two echo lines.
        w.Command2->click();
        w.Command2->click();
        QVERIFY(server.waitForDatagrams(4));
        QCOMPARE(server.received().at(2).data, Header + "se cret status");
        QCOMPARE(server.received().at(3).data, Header + "se cret status");
        QVERIFY(w.txtOutput->text().endsWith(time + QStringLiteral(" : status\r\n") + time + QStringLiteral(" : status\r\n")));
        QCOMPARE(w.txtOutput->text().count(QLatin1String("\r\n")), 4);
        Clock::setFixedTimeForTesting(QTime());
    }
};

QTEST_MAIN(SendTest)
#include "tst_send.moc"
