// What the log makes of a text: password values hidden in the shapes the server prints and
// the admin types, control characters in caret notation.
#include "log/LogText.h"

#include <QtTest>

class LogTextTest : public QObject {
    Q_OBJECT
private slots:
    void masking_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("logged");
        // cvarlist lines as the OpenArena server prints them: flags, name, quoted value.
        QTest::newRow("cvarlist") << "  U       g_password \"joinpw\"" << "  U       g_password \"********\"";
        QTest::newRow("cvarlist, no flags") << "          rconpassword \"s3cret pw\"" << "          rconpassword \"********\"";
        QTest::newRow("cvarlist, case") << "S  R      SV_PrivatePassword \"x\"" << "S  R      SV_PrivatePassword \"********\"";
        QTest::newRow("cvarlist, empty") << "     AL   net_socksPassword \"\"" << "     AL   net_socksPassword \"\"";
        QTest::newRow("cvarlist, cut short") << "          rconpassword \"s3cr" << "          rconpassword \"********";
        QTest::newRow("cvarlist, other") << "S  R      g_needpass \"1\"" << "S  R      g_needpass \"1\"";
        QTest::newRow("cvarlist, value says it") << "S         sv_hostname \"password \\\"x\\\"\"" << "S         sv_hostname \"password \\\"x\\\"\"";
        // A variable alone: its value (the server's ^7 after it kept), and any default.
        QTest::newRow("is") << "\"rconpassword\" is:\"s3cret^7\" default:\"^7\"" << "\"rconpassword\" is:\"********^7\" default:\"^7\"";
        QTest::newRow("is, default set") << "\"G_Password\" is:\"a b^7\" default:\"dflt^7\""
                                         << "\"G_Password\" is:\"********^7\" default:\"********^7\"";
        QTest::newRow("is, the default") << "\"g_password\" is:\"^7\", the default" << "\"g_password\" is:\"^7\", the default";
        QTest::newRow("is, other") << "\"g_gametype\" is:\"0^7\", the default" << "\"g_gametype\" is:\"0^7\", the default";
        // Commands that set one, alone or among others; a user's info as dumpuser prints it.
        QTest::newRow("command") << "rconpassword newpw" << "rconpassword ********";
        QTest::newRow("set, quoted") << "set g_password \"a b\"" << "set g_password ********";
        // The server takes "x y ;map_restart" as the value; a console would run map_restart.
        QTest::newRow("seta after others") << "status; SETA Net_SocksPassword  x y ;map_restart"
                                           << "status; SETA Net_SocksPassword  ********";
        QTest::newRow("quoted semicolon") << "sets rcon_password \"a;b\"; status" << "sets rcon_password ********";
        QTest::newRow("dumpuser") << "password            joinpw" << "password            ********";
        QTest::newRow("quoted, then more") << "rconpassword \"a\" b" << "rconpassword ********";
        QTest::newRow("caps") << "RCONPASSWORD X_PASSWORD \"b\"" << "RCONPASSWORD ********";
        QTest::newRow("value after ;") << "seta g_password ; status" << "seta g_password ********";
        QTest::newRow("control separator") << QStringLiteral("rconpassword\vx") << QStringLiteral("rconpassword\v********");
        QTest::newRow("asking") << "rconpassword" << "rconpassword";
        QTest::newRow("set other") << "setu name password" << "setu name password";
        // Lines that merely mention a password.
        QTest::newRow("say") << "say the password is swordfish" << "say the password is swordfish";
        QTest::newRow("said") << "console: the rconpassword \"x\" is old" << "console: the rconpassword \"x\" is old";
        QTest::newRow("quoted say") << "say \"g_password x; rconpassword y\"" << "say \"g_password x; rconpassword y\"";
        // Several lines, each on its own, their CR LF ends kept.
        QTest::newRow("lines") << "x\r\n  U       g_password \"joinpw\"\r\nrconpassword \"pw\r\nend"
                               << "x\r\n  U       g_password \"********\"\r\nrconpassword \"********\r\nend";
        QTest::newRow("nothing") << QString() << QString();
    }
    void masking()
    {
        QFETCH(QString, text);
        QFETCH(QString, logged);
        QCOMPARE(MaskPasswords(text), logged);
        QCOMPARE(MaskPasswords(logged), logged);  // masked once is masked for good
    }

    void caretNotation()
    {
        const struct {
            QString text, logged;
        } rows[] = {
            {QStringLiteral("\x1b[31mred\a"), QStringLiteral("^[[31mred^G")},
            {QString(QChar(0)) + QStringLiteral("\x01\x1f\x7f"), QStringLiteral("^@^A^_^?")},
            {QStringLiteral("tab\tcr\r\nlf\n"), QStringLiteral("tab\tcr\r\nlf\n")},
            {QStringLiteral("^1red ^7white ^^"), QStringLiteral("^1red ^7white ^^")},
            {QStringLiteral("caf\u00e9 \u00ff"), QStringLiteral("caf\u00e9 \u00ff")},
        };
        for (const auto& row : rows)
            QCOMPARE(CaretNotation(row.text), row.logged);
    }
};

QTEST_APPLESS_MAIN(LogTextTest)
#include "tst_logtext.moc"
