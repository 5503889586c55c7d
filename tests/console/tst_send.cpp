// The Send procedure driven through the real window against a UDP server on loopback:
// the validations with their messages and focus moves, trimming, the echo line, and the
// time of day it starts with.
#include "../log/ExchangeRig.h"
#include "TestEnv.h"

#include "ui/MessageBox.h"

#include <QtTest>

#include <functional>

namespace {
// Every box's text, the output pane's included.
QStringList boxesOf(const frmMain& w)
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
            {"fi_FI", QStringLiteral("14.05.09"), QStringLiteral("9.03.04")},
            {"ko_KR", QStringLiteral("\uc624\ud6c4 2:05:09"), QStringLiteral("\uc624\uc804 9:03:04")},
        };
        for (const Case& c : cases) {
            const QLocale locale{QLatin1String(c.locale)};
            const QString format = TimeFormatWithSeconds(locale);
            QCOMPARE(locale.toString(t, format), c.afternoon);
            QCOMPARE(locale.toString(morning, format), c.early);
        }
        // Never a zone or a date, whatever the locale: only the clock.
        for (const char* name : {"en_GB", "fr_FR", "zh_CN", "bg_BG", "sq_AL", "fa_IR", "th_TH"}) {
            const QLocale locale{QLatin1String(name)};
            const QString format = TimeFormatWithSeconds(locale);
            QVERIFY2(format.contains(QLatin1String("ss")) && !format.contains(QLatin1Char('t'))
                    && !format.contains(QLatin1Char('d')) && !format.contains(QLatin1Char('y')),
                qPrintable(QLatin1String(name) + QLatin1String(": ") + format));
        }
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
            {QStringLiteral("127.0.0.1"), QStringLiteral("  "), QString(), QString(), portMsg, w.txtPort},
            {QStringLiteral("127.0.0.1"), QStringLiteral("0"), QStringLiteral("status"), QStringLiteral("pw"), rangeMsg, w.txtPort},
            // A port that is not a port never gets the password sent anywhere.
            {QStringLiteral("127.0.0.1"), QStringLiteral("27960x"), QStringLiteral("status"), QStringLiteral("pw"), rangeMsg, w.txtPort},
            {QStringLiteral("127.0.0.1"), QStringLiteral("65536"), QString(), QStringLiteral("pw"), rangeMsg, w.txtPort},
            {QStringLiteral("127.0.0.1"), QStringLiteral("-27960"), QStringLiteral("status"), QStringLiteral("pw"), rangeMsg, w.txtPort},
            // Command before password, and an empty command shows nothing at all.
            {QStringLiteral("127.0.0.1"), port, QStringLiteral("    "), QString(), QString(), w.txtCommand},
            {QStringLiteral("127.0.0.1"), port, QStringLiteral("status"), QString(), passwordMsg, w.txtPassword},
            {QStringLiteral("127.0.0.1"), port, QStringLiteral("status"), QStringLiteral("   "), passwordMsg, w.txtPassword},
        };
        for (const Case& c : cases) {
            w.txtAddr->setEditText(c.addr);
            w.txtPort->setEditText(c.port);
            w.txtCommand->setText(c.command);
            w.txtPassword->setText(c.password);
            w.cmdQuit->setFocus();
            const QStringList before = boxesOf(w);
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
            QCOMPARE(boxesOf(w), before);
        }

        // Server Info and Status that fail validation leave their command in the box.
        w.txtAddr->setEditText(QStringLiteral("127.0.0.1"));
        w.txtPort->setEditText(port);
        w.txtPassword->clear();
        w.txtCommand->setText(QStringLiteral("typed"));
        const QList<std::pair<std::function<void()>, QString>> buttons = {
            {[&] { w.Command1->click(); }, QStringLiteral("serverinfo")},
            {[&] { w.mnuCommandsStatus->trigger(); }, QStringLiteral("status")},
            {[&] { w.mnuCommandsServerInfo->trigger(); }, QStringLiteral("serverinfo")},
        };
        for (const auto& b : buttons) {
            b.first();
            QCOMPARE(MessageBox::takeShown().value(0).text, passwordMsg);
            QCOMPARE(w.txtCommand->text(), b.second);
        }
        QCOMPARE(w.txtOutput->text(), QStringLiteral("earlier\r\n"));

        // None of the failures sent anything: the first datagram the server gets is this one.
        w.txtAddr->setEditText(QStringLiteral("127.0.0.1"));
        w.txtPassword->setText(QStringLiteral("pw"));
        w.Command2->click();
        QVERIFY(server.waitForDatagrams(1));
        QCOMPARE(server.received().size(), 1);
        QCOMPARE(server.received().at(0).data, Request("pw status"));
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

        // Spaces around the boxes' texts go; inner spaces and tabs stay.
        w.txtAddr->setEditText(QStringLiteral("  127.0.0.1 "));
        w.txtPort->setEditText(QStringLiteral(" ") + QString::number(server.port()) + QStringLiteral("  "));
        w.txtPassword->setText(QStringLiteral(" se cret  "));
        w.txtCommand->setText(QStringLiteral("   map  oa_dm1 "));
        w.cmdQuit->setFocus();
        w.cmdConnect->click();
        QVERIFY(server.waitForDatagrams(1));
        QCOMPARE(server.received().at(0).data, Request("se cret map  oa_dm1"));

        // One echo line: time, " : ", the trimmed command, CR LF; never the password.
        QCOMPARE(w.txtOutput->text(), time + QStringLiteral(" : map  oa_dm1\r\n"));
        // The command box is empty and has the focus; the other boxes are as they were.
        QCOMPARE(w.txtCommand->text(), QString());
        QCOMPARE(focusOwner(), static_cast<QWidget*>(w.txtCommand));
        QCOMPARE(w.txtAddr->currentText(), QStringLiteral("  127.0.0.1 "));
        QCOMPARE(w.txtPassword->text(), QStringLiteral(" se cret  "));

        // A tab is not a space: it stays in the command and reaches the server.
        w.txtCommand->setText(QStringLiteral("\tstatus\t"));
        w.cmdConnect->click();
        QVERIFY(server.waitForDatagrams(2));
        QCOMPARE(server.received().at(1).data, Request("se cret \tstatus\t"));
        QVERIFY(w.txtOutput->text().endsWith(time + QStringLiteral(" : \tstatus\t\r\n")));

        Clock::setFixedTimeForTesting(QTime());
    }
};

QTEST_MAIN(SendTest)
#include "tst_send.moc"
