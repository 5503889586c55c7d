#include "console/ColourCodes.h"

#include <QtTest>

using namespace ColourCodes;

class ColourCodesTest : public QObject {
    Q_OBJECT
private slots:
    void reading_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("colours");  // one character per character of text: '.' plain, else index
        // Real replies of the OpenArena server: a say, and a bot's broadcast.
        QTest::newRow("say") << "console: ^1red ^2green\n" << "console: red green\n" << ".........1111222222";
        QTest::newRow("broadcast") << "Sarge^7 connected" << "Sarge connected" << ".....7777777777";
        // ^8, ^9 and letters wrap round; ^^ and ^ before a blank, a line end or the end stay.
        QTest::newRow("wrap") << "^8a^9b^ac^Zd" << "abcd" << "0112";
        QTest::newRow("caret text") << "^^ ^ x^\n^" << "^^ ^ x^\n^" << ".........";
        QTest::newRow("caret then code") << "^^1x" << "^x" << ".1";
        QTest::newRow("line end resets") << "^4a\r\nb" << "a\r\nb" << "44..";
        QTest::newRow("non-ascii after caret") << "^\u00e91" << "^\u00e91" << "...";
    }
    void reading()
    {
        QFETCH(QString, input);
        QFETCH(QString, text);
        QFETCH(QString, colours);
        const Reading r = Read(input);
        QCOMPARE(r.text, text);
        QCOMPARE(Strip(input), text);
        QString drawn(r.text.size(), QLatin1Char('?'));
        int next = 0;
        for (const Run& run : r.runs) {
            QCOMPARE(run.start, next);  // the runs cover the text in order
            QVERIFY(run.length > 0);
            drawn.replace(run.start, run.length, QString(run.length, run.colour == Plain ? QLatin1Char('.') : QLatin1Char('0' + run.colour)));
            next = run.start + run.length;
        }
        QCOMPARE(next, r.text.size());
        QCOMPARE(drawn, colours);
        // Every code put back where it was taken out gives the input again.
        QString back = r.text;
        for (int i = r.codes.size() - 1; i >= 0; --i)
            back.insert(r.codes[i].position, QStringLiteral("^") + r.codes[i].character);
        QCOMPARE(back, input);
    }

    void paneColoursReadable()
    {
        const QColor background = PaneBackground();
        for (int i = 0; i < 8; ++i) {
            QVERIFY2(ContrastRatio(PaneColour(i), background) >= 4.5, qPrintable(QString::number(i)));
            for (int j = 0; j < i; ++j)
                QVERIFY(PaneColour(i) != PaneColour(j));
        }
        QCOMPARE(PaneColour(9), PaneColour(1));
        QVERIFY(qAbs(ContrastRatio(Qt::black, Qt::white) - 21.0) < 0.01);
    }
};

QTEST_GUILESS_MAIN(ColourCodesTest)
#include "tst_colourcodes.moc"
