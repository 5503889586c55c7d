// Colour codes in the output pane: a coloured reply through a real socket on loopback is drawn
// in the colours of its codes, Copy gives the text as seen, the log keeps the codes, and Show
// Colours switched off shows the codes as text and is remembered at the next start.
#include "../log/ExchangeRig.h"
#include "TestEnv.h"

#include "console/ColourCodes.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QTextBlock>
#include <QtTest>

namespace {
// One character per character on screen: '.' in the pane's own colour, else the colour's
// index ('?' for a colour not of the palette); '|' between lines.
QString coloursOnScreen(const OutputPane* pane)
{
    QString out;
    for (QTextBlock b = pane->document()->begin(); b.isValid(); b = b.next()) {
        for (QTextBlock::iterator it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            QChar c = QLatin1Char(format.hasProperty(QTextFormat::ForegroundBrush) ? '?' : '.');
            for (int i = 0; i < 8 && c == QLatin1Char('?'); ++i)
                c = format.foreground().color() == ColourCodes::PaneColour(i) ? QLatin1Char('0' + i) : c;
            out += QString(it.fragment().length(), c);
        }
        out += b.next().isValid() ? QStringLiteral("|") : QString();
    }
    return out;
}

// Selects a stretch of what the pane shows and presses Copy.
QString copyShown(frmMain& w, const QString& from, const QString& to)
{
    const QString shown = ui(w).txtOutput->toPlainText();
    QTextCursor c(ui(w).txtOutput->document());
    c.setPosition(shown.indexOf(from));
    c.setPosition(shown.indexOf(to) + to.size(), QTextCursor::KeepAnchor);
    ui(w).txtOutput->setTextCursor(c);
    ui(w).cmdCopy->click();
    return QGuiApplication::clipboard()->text();
}
}

class ColoursTest : public QObject {
    Q_OBJECT
private slots:
    void colouredReplyThroughTheSocket()
    {
        TestEnv env;
        LoopbackServer server;
        {
            frmMain w;
            QVERIFY(ui(w).mnuViewShowColours->isChecked());
            ui(w).ckLog->setValue(1);
            AimAt(w, server.port());
            SendCommand(w, QStringLiteral("say ^1red ^2green"));
            QVERIFY(server.waitForDatagrams(1));
            // One reply in three datagrams: the colour goes on from one to the next, and the "^"
            // that ends one and the digit that starts the next make one code.
            server.reply(PrintReply("console: ^1red ^2gr"));
            server.reply(PrintReply("een ^"));
            server.reply(PrintReply("5cyan\nnext ^"));
            const QString raw = QStringLiteral("console: ^1red ^2green ^5cyan\r\nnext ^");
            QTRY_COMPARE(ui(w).txtOutput->text(), Echo(QStringLiteral("say ^1red ^2green\r\n")) + raw);
            QCOMPARE(ui(w).txtOutput->toPlainText(), Echo(QStringLiteral("say red green\nconsole: red green cyan\nnext ^")));
            const QString time(Echo(QString()).size() + 4, QLatin1Char('.'));  // "12:34:56 : say "
            QCOMPARE(coloursOnScreen(ui(w).txtOutput), time + "1111" + "22222|" + "........." + "1111222222" + "5555|......");
            QCOMPARE(copyShown(w, QStringLiteral("console"), QStringLiteral("cyan\n")), QStringLiteral("console: red green cyan\r\n"));
            QTRY_VERIFY(env.readLog().contains(raw.toLatin1()));

            // Each write starts plain, and an echo line on a line of its own after a reply's
            // line cut short: the echo's "1" after the reply's "^" is no code.
            SendCommand(w, QStringLiteral("status"));
            QVERIFY(ui(w).txtOutput->toPlainText().endsWith(QStringLiteral("next ^\n") + Echo(QStringLiteral("status\n"))));
            QVERIFY(coloursOnScreen(ui(w).txtOutput).endsWith(QStringLiteral("......|") + QString(Echo(QStringLiteral("status")).size(), QLatin1Char('.')) + "|"));

            // Clear leaves nothing behind: the next echo line is plain, nothing is selected.
            ui(w).cmdClear->click();
            SendCommand(w, QStringLiteral("status"));
            QCOMPARE(coloursOnScreen(ui(w).txtOutput), QString(Echo(QStringLiteral("status")).size(), QLatin1Char('.')) + "|");
            QVERIFY(!ui(w).txtOutput->textCursor().hasSelection());
            // The chat separator after a name is drawn as nothing and copied as nothing; the
            // log keeps it, spelled out. (Each request has a socket of its own: the answer goes
            // to the latest.)
            QVERIFY(server.waitForDatagrams(3));
            server.reply(PrintReply("Bob^7\x19: hi\n"));
            QTRY_VERIFY(ui(w).txtOutput->text().endsWith(QStringLiteral("Bob^7\x19: hi\r\n")));
            const QString drawn = ui(w).txtOutput->document()->lastBlock().previous().text();
            QCOMPARE(QString(drawn).remove(QChar(0x2060)), QStringLiteral("Bob: hi"));
            QCOMPARE(QFontMetricsF(ui(w).txtOutput->font()).horizontalAdvance(drawn), QFontMetricsF(ui(w).txtOutput->font()).horizontalAdvance(QStringLiteral("Bob: hi")));
            QCOMPARE(copyShown(w, QStringLiteral("Bob"), QStringLiteral("hi")), QStringLiteral("Bob: hi"));
            QTRY_VERIFY(env.readLog().contains("Bob^7^Y: hi\r\n"));
            server.reply(PrintReply("console: ^1red ^2green ^5cyan\nnext ^"));
            QTRY_VERIFY(ui(w).txtOutput->text().endsWith(raw));

            // Switched off: the text as it came, codes and all, the selection kept.
            copyShown(w, QStringLiteral("console"), QStringLiteral("cyan\n"));
            ui(w).mnuViewShowColours->trigger();
            QCOMPARE(ui(w).txtOutput->toPlainText(), ui(w).txtOutput->text().replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QChar(0x19), QChar(0x2060)));
            QVERIFY(!coloursOnScreen(ui(w).txtOutput).contains(QRegularExpression(QStringLiteral("[^.|]"))));
            QCOMPARE(ui(w).txtOutput->selText(), raw.left(raw.indexOf(QLatin1Char('\n')) + 1));
            w.close();
        }
        // Remembered at the next start; switched on again, what the pane holds is drawn afresh.
        frmMain w;
        QVERIFY(!ui(w).mnuViewShowColours->isChecked());
        ui(w).txtOutput->setText(QString(31000, QLatin1Char('x')) + QStringLiteral("^3ab"));
        QCOMPARE(ui(w).txtOutput->toPlainText().right(4), QStringLiteral("^3ab"));
        ui(w).mnuViewShowColours->trigger();
        QCOMPARE(ui(w).txtOutput->toPlainText().right(4), QStringLiteral("x\nab"));  // a long line goes on below on screen
        QVERIFY(coloursOnScreen(ui(w).txtOutput).endsWith(QStringLiteral(".|33")));
        // The rest of a reply kept alone by the pane's cap keeps the colour it goes on in.
        ui(w).txtOutput->setText(ui(w).txtOutput->text() + QStringLiteral("cd^7e") + QString(1000, QLatin1Char('y')), OutputPane::Write::Continues);
        QCOMPARE(ui(w).txtOutput->text().left(5), QStringLiteral("cd^7e"));
        QVERIFY(coloursOnScreen(ui(w).txtOutput).startsWith(QStringLiteral("3377")));
    }
};

QTEST_MAIN(ColoursTest)
#include "tst_colours.moc"
