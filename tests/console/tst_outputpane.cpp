// The output pane keeps its text with CR LF line ends exactly as written, shows it with
// ordinary line breaks, and counts positions in its own text.
#include "console/OutputPane.h"

#include <QSignalSpy>
#include <QTextBlock>
#include <QTextCursor>
#include <QtTest>

class OutputPaneTest : public QObject {
    Q_OBJECT
private slots:
    void textModelAndAppends()
    {
        OutputPane pane;
        pane.resize(400, 300);
        pane.show();
        QSignalSpy changed(&pane, &OutputPane::changed);
        pane.setText(QStringLiteral("one\r\ntwo\r\n"));
        QCOMPARE(pane.text(), QStringLiteral("one\r\ntwo\r\n"));
        QCOMPARE(pane.toPlainText(), QStringLiteral("one\ntwo\n"));
        QCOMPARE(changed.size(), 1);
        pane.setText(pane.text());  // no change, no signal
        QCOMPARE(changed.size(), 1);

        // An append keeps the caret and the selection where they were.
        QTextCursor c(pane.document());
        c.setPosition(1);
        c.setPosition(6, QTextCursor::KeepAnchor);  // "ne\ntw" on screen
        pane.setTextCursor(c);
        QCOMPARE(pane.selText(), QStringLiteral("ne\r\ntw"));
        pane.setText(pane.text() + QStringLiteral("three\rfour\r\n"));
        QCOMPARE(pane.lastAppended(), QStringLiteral("three\rfour\r\n"));
        QCOMPARE(pane.selText(), QStringLiteral("ne\r\ntw"));
        QCOMPARE(pane.selStart(), 1);
        // A lone CR ends a line on screen, and counts as one character of the text.
        QCOMPARE(pane.toPlainText(), QStringLiteral("one\ntwo\nthree\nfour\n"));
        pane.setSelStart(10);  // just after "two\r\n"
        QCOMPARE(pane.selStart(), 10);
        QCOMPARE(pane.textCursor().block().text(), QStringLiteral("three"));

        // A CR at the end and an LF in the appended part make one line end.
        pane.setText(QStringLiteral("a\r"));
        pane.setText(QStringLiteral("a\r\nb"));
        QCOMPARE(pane.lastAppended(), QStringLiteral("\nb"));
        QCOMPARE(pane.toPlainText(), QStringLiteral("a\nb"));

        // Replacing the text with something else: the whole text counts as appended.
        pane.setText(QStringLiteral("other"));
        QCOMPARE(pane.lastAppended(), QStringLiteral("other"));
    }
};

QTEST_MAIN(OutputPaneTest)
#include "tst_outputpane.moc"
