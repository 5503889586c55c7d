// Commands and replies through the real window and its socket, against stand-in servers on
// loopback: the checks before a send, the request's bytes, replies in several datagrams, the
// pane's cap, Copy, the errors of sends that cannot reach a server, and command recall.
#include "../log/ExchangeRig.h"

#include "console/BudgetFile.h"
#include "console/ServerExchange.h"

#include <QClipboard>
#include <QScrollBar>

class ExchangeTest : public QObject {
    Q_OBJECT
private slots:
    // A send: the boxes trimmed of spaces only, one datagram, the echo; a long reply in
    // several datagrams; Copy; then each check in Send's order, with its message and the box it
    // sends the user to, while nothing reaches the wire (not even the earlier server); the cap.
    void sendRepliesAndChecks()
    {
        TestEnv env;
        LoopbackServer server;
        const QString port = QString::number(server.port());
        frmMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        ui(w).ckLog->setValue(1);
        AimAt(w, server.port(), QStringLiteral(" se cret  "), QStringLiteral("  127.0.0.1 "));
        ui(w).txtPort->setEditText(QLatin1Char(' ') + port);
        SendCommand(w, QStringLiteral("   map  oa_dm1\t "));
        QVERIFY(server.waitForDatagrams(1));
        QCOMPARE(server.received()[0].data, Request("se cret map  oa_dm1\t"));
        const QString echo = Echo(QStringLiteral("map  oa_dm1\t")) + QStringLiteral("\r\n");
        QCOMPARE(ui(w).txtOutput->text(), echo);
        QVERIFY(ui(w).txtCommand->hasFocus() && ui(w).txtCommand->text().isEmpty());

        // Shown whole and in order, one log record; a stranger's datagrams are not heard.
        LoopbackServer stranger;
        stranger.sendTo(PrintReply("stranger\n"), QHostAddress::LocalHost, server.received()[0].senderPort);
        server.reply(PrintReply("first line\nsecond li"));
        server.reply(PrintReply("ne\n\x80\xff\n"));
        const QString reply = QStringLiteral("first line\r\nsecond line\r\n") + QString::fromLatin1("\x80\xff\r\n");
        QTRY_COMPARE(ui(w).txtOutput->text(), echo + reply);
        const int timers = w.findChildren<QTimer*>().size();
        QTRY_COMPARE(env.readLog(), (echo + reply + QStringLiteral("\r\n")).toLatin1());

        // Copy takes the selection with its CR LF line ends.
        QTextCursor selection(ui(w).txtOutput->document());
        selection.setPosition(ui(w).txtOutput->toPlainText().indexOf(QStringLiteral("second")));
        selection.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        ui(w).txtOutput->setTextCursor(selection);
        ui(w).cmdCopy->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), reply.mid(12));

        const QString address = "You must provide a server address.", range = "The server port must be a number from 1 to 65535.";
        const struct {
            QString addr, port, command, password, message;
            QWidget* focus;
        } cases[] = {{"", "", "", "", address, ui(w).txtAddr}, {"   ", port, "status", "pw", address, ui(w).txtAddr},
            {"127.0.0.1", "  ", "", "", "You must provide a server port.  Default: 27960", ui(w).txtPort},
            {"127.0.0.1", "0", "status", "pw", range, ui(w).txtPort}, {"127.0.0.1", "65536", "status", "pw", range, ui(w).txtPort},
            {"127.0.0.1", port + "x", "status", "pw", range, ui(w).txtPort}, {"127.0.0.1", port, "   ", "", "", ui(w).txtCommand},
            {"127.0.0.1", port, "status", "  ", "You must provide the rcon password.", ui(w).txtPassword}};
        for (const auto& c : cases) {
            ui(w).txtAddr->setEditText(c.addr);
            ui(w).txtPort->setEditText(c.port);
            ui(w).txtCommand->setText(c.command);
            ui(w).txtPassword->setText(c.password);
            ui(w).cmdQuit->setFocus();
            ui(w).cmdConnect->click();
            QCOMPARE(MessageBox::takeShown().value(0).text, c.message);
            QVERIFY2(c.focus->hasFocus(), qPrintable(c.focus->objectName()));
            QCOMPARE(ui(w).txtCommand->text() + ui(w).txtOutput->text(), c.command + echo + reply);
        }
        // Two requests whose answers overlap: each answer under a line naming its command,
        // never mixed (and never a password in the log); a line cut short ends before the next.
        AimAt(w, server.port());
        ui(w).txtOutput->setText(QString());
        SendCommand(w, QStringLiteral("g_password hush"));
        SendCommand(w, QStringLiteral("second"));
        QVERIFY(server.waitForDatagrams(3));
        const LoopbackServer::Datagram first = server.received()[1], second = server.received()[2];
        QCOMPARE(first.data, Request("pw g_password hush"));
        QCOMPARE(second.data, Request("pw second"));
        const auto answer = [&server, &w](const LoopbackServer::Datagram& to, const QByteArray& text, const QString& shown) {
            server.sendTo(PrintReply(text), to.sender, to.senderPort);
            QTRY_VERIFY(ui(w).txtOutput->text().endsWith(shown));
        };
        answer(first, "one a\none b", QStringLiteral("one b"));
        answer(second, "two\n", QStringLiteral("two\r\n"));
        answer(first, "c\n", QStringLiteral("c\r\n"));
        QCOMPARE(ui(w).txtOutput->text(), Echo(QStringLiteral("g_password hush")) + QStringLiteral("\r\n") + Echo(QStringLiteral("second"))
                + QStringLiteral("\r\n(answer to g_password hush)\r\none a\r\none b\r\n(answer to second)\r\ntwo\r\n(answer to g_password hush)\r\nc\r\n"));
        QTRY_VERIFY(env.readLog().contains("(answer to g_password ********)\r\n\r\nc\r\n"));
        QVERIFY(!env.readLog().contains("hush"));

        // A status table in two datagrams that come swapped, a row split between them: shown
        // once the answer is over, whole and in order, and logged so. Then one that comes
        // incomplete (without its end), asked again and incomplete again: the first try is not
        // shown, the second is, for what it is, with a line that says so.
        ui(w).txtOutput->setText(QString());
        SendCommand(w, QStringLiteral("status"));
        QVERIFY(server.waitForDatagrams(4));
        const QByteArray head = "map: oa_dm1\ncl score ping name  address\n-- ----- ---- ----- ---------\n 0     0   50 Bob   192.0.2.1\n 1     0  ";
        const QByteArray tail = "48 Alice 192.0.2.2\n\n";
        server.reply(PrintReply(tail));
        server.reply(PrintReply(head));
        const QString table = Echo(QStringLiteral("status")) + QStringLiteral("\r\n") + QString::fromLatin1(head + tail).replace(QLatin1String("\n"), QLatin1String("\r\n"));
        QTRY_COMPARE(ui(w).txtOutput->text(), table);
        QTRY_VERIFY(env.readLog().endsWith((table + QStringLiteral("\r\n")).toLatin1()));
        ui(w).txtOutput->setText(QString());
        SendCommand(w, QStringLiteral("status"));
        for (int n : {5, 6}) {
            QVERIFY(server.waitForDatagrams(n, 8000));
            server.reply(PrintReply("map: oa_dm1\n"));
        }
        QTRY_VERIFY_WITH_TIMEOUT(ui(w).txtOutput->text().endsWith(QStringLiteral("The answer came incomplete: a datagram was lost on the way.\r\n")), 8000);
        QCOMPARE(ui(w).txtOutput->text(), Echo(QStringLiteral("status")) + QStringLiteral("\r\n(asking again, try 2 of 3: status)\r\n"
                                                                                    "map: oa_dm1\r\nThe answer came incomplete: a datagram was lost on the way.\r\n"));

        // Another run of the program spent the allowance a moment ago: a wait too short to
        // read gets no line.
        QFile budgets(BudgetFile::path());
        QVERIFY(budgets.open(QIODevice::WriteOnly | QIODevice::Truncate));
        budgets.write("telmorax request budgets 1\n127.0.0.1 1050 " + QByteArray::number(BudgetFile::now()) + " -1\n");
        budgets.close();
        SendCommand(w, QStringLiteral("barrier"));
        QVERIFY(server.waitForDatagrams(7));
        QCOMPARE(server.received()[6].data, Request("pw barrier"));
        QVERIFY(ui(w).txtOutput->text().endsWith(QStringLiteral("lost on the way.\r\n") + Echo(QStringLiteral("barrier")) + QStringLiteral("\r\n")));

        // The pane's cap: a change that brings it to 32000 characters empties the old text;
        // what came last stays, and only its last 16000 characters when it alone reaches the
        // cap. The log keeps everything.
        const QByteArray big(32000, 'z');
        for (const auto& [before, datagram, after, xs] : QList<std::tuple<int, QByteArray, int, int>>{
                 {31990, "1234567\n", 31999, 31990}, {31991, "1234567\n", 9, 0}, {0, big + "\n", 16000, 0}}) {
            ui(w).txtOutput->setText(QString(before, QLatin1Char('x')));
            QSignalSpy shown(w.session(), &ConsoleSession::replyText);
            server.reply(PrintReply(datagram));
            QTRY_COMPARE(shown.size(), 1);
            QCOMPARE(shown[0][0].toString().size(), datagram.size() + 1);
            QCOMPARE(ui(w).txtOutput->text().size(), after);
            QCOMPARE(ui(w).txtOutput->text().count(QLatin1Char('x')), xs);
            QCOMPARE(ui(w).txtOutput->selStart(), after);
        }
        QTRY_VERIFY(env.readLog().endsWith("\r\n1234567\r\n1234567\r\n" + big + "\r\n\r\n"));
        QCOMPARE(w.findChildren<QTimer*>().size(), timers);  // nothing piles up datagram by datagram
        ui(w).cmdClear->click();
        QCOMPARE(ui(w).txtOutput->text(), QString());
    }

    // A server that never answers: one line for each of two requests in a row once its wait is
    // over, and nothing in the log but the requests. Nobody at the address and port: the system's
    // own words, once per send. On this machine the socket would be bound to the server's
    // port and hear its own request (password and all) as the answer; it sends from another
    // port instead.
    void sendsThatCannotArrive()
    {
        TestEnv env;
        LoopbackServer server;
        frmMain w;
        ui(w).ckLog->setValue(1);
        AimAt(w, server.port());
        SendCommand(w, QStringLiteral("status"));
        SendCommand(w, QStringLiteral("say hi"));
        const QString silent = Echo(QStringLiteral("status")) + QStringLiteral("\r\n") + Echo(QStringLiteral("say hi")) + QStringLiteral("\r\n");
        // A line for each, that says whether it may have run: a read is harmless to ask again
        // (and may have been), a command with an effect is never sent twice.
        const QString effect = QStringLiteral("No answer from 127.0.0.1:%1 to `say hi`: it may or may not have run.\r\n").arg(server.port());
        const QRegularExpression read(QStringLiteral("No answer from 127\\.0\\.0\\.1:%1 to `status`( after \\d tries)?\\.\r\n").arg(server.port()));
        const QString again = QStringLiteral("(asking again, try 2 of 3: status)\r\n"), last = QStringLiteral("(asking again, try 3 of 3: status)\r\n");
        const auto told = [&] {
            const QString pane = ui(w).txtOutput->text();
            const QString readLine = read.match(pane).captured();
            return !readLine.isEmpty() && pane.contains(effect) && pane.contains(again) && pane.contains(last)
                && pane.size() == silent.size() + effect.size() + readLine.size() + again.size() + last.size() && pane.startsWith(silent);
        };
        QTRY_VERIFY_WITH_TIMEOUT(told(), 10000);
        QTest::qWait(2500);
        QVERIFY(told());
        QCOMPARE(env.readLog(), silent.toLatin1());
        ui(w).ckLog->setValue(0);
        QSignalSpy errors(w.session(), &ConsoleSession::socketError);
        const quint16 port = static_cast<quint16>(FreeUdpPort());
        // The pane, full enough to scroll, shows each error line whole at its foot.
        w.show();
        for (const LoopbackServer::Datagram& d : server.received()) {
            if (d.data == Request("pw say hi"))  // the latest request, which listens on
                server.sendTo(PrintReply(QByteArray("a line\n").repeated(100)), d.sender, d.senderPort);
        }
        QTRY_VERIFY(ui(w).txtOutput->text().endsWith(QStringLiteral("a line\r\n")));
        QScrollBar* scroll = ui(w).txtOutput->verticalScrollBar();
        for (const QString& host : {QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.2")}) {
            AimAt(w, port, QStringLiteral("pw"), host);
            SendCommand(w, QStringLiteral("status"));
            QTRY_VERIFY(ui(w).txtOutput->text().endsWith(Echo(QStringLiteral("status")) + QStringLiteral("\r\nConnection refused\r\n")));
            QCOMPARE(w.session()->listening()->boundLocalPort() == port, host.endsWith(QLatin1Char('2')));
            QVERIFY(scroll->maximum() > 0);
            QCOMPARE(scroll->value(), scroll->maximum());
        }
        // A name is resolved, and sends keep their order while it is looked up; a name that
        // does not resolve is reported in the resolver's words and holds up nothing.
        const QStringList hosts = {"localhost", "127.0.0.1", "no..such..host", "localhost"};
        const int before = server.received().size();  // `status` was asked three times
        for (int i = 0; i < hosts.size(); ++i) {
            AimAt(w, server.port(), QStringLiteral("pw"), hosts[i]);
            SendCommand(w, QString::number(i));
        }
        QVERIFY(server.waitForDatagrams(before + 3));
        QCOMPARE(server.received()[before].data + server.received()[before + 1].data + server.received()[before + 2].data,
            Request("pw 0") + Request("pw 1") + Request("pw 3"));
        QTRY_COMPARE(errors.size(), 3);
        QTRY_VERIFY(ui(w).txtOutput->text().contains(Echo(QStringLiteral("3")) + "\r\n" + errors[2][0].toString() + "\r\n"));
    }
    // Up and Down in the command box bring back the commands sent with Send in this run.
    void commandRecall()
    {
        TestEnv env;
        LoopbackServer server;
        frmMain w;
        AimAt(w, server.port());
        // Sent with Enter (trimmed), Server Info, Status twice (kept once); a send that fails
        // its checks and the automatic query are not kept.
        ui(w).txtCommand->setText(QStringLiteral("  map_restart  "));
        QTest::keyClick(ui(w).txtCommand, Qt::Key_Return);
        ui(w).Command1->click();
        ui(w).Command2->click();
        ui(w).Command2->click();
        SendCommand(w, QStringLiteral("kick 3"));
        w.GetStatus();
        ui(w).txtPassword->clear();
        SendCommand(w, QStringLiteral("banUser x"));
        QCOMPARE(MessageBox::takeShown().size(), 1);
        ui(w).txtPassword->setText(QStringLiteral("pw"));

        // Up and Down walk through them, the caret at the end; Down past the newest gives back
        // what was being typed. Typing ends a recall: Up starts again from the newest, keeping
        // the edited text aside. Escape empties the box.
        ui(w).txtCommand->setText(QStringLiteral("say hel"));
        const Qt::Key Up = Qt::Key_Up, Down = Qt::Key_Down, Type = Qt::Key_unknown;
        const QList<std::pair<Qt::Key, const char*>> walk = {{Up, "kick 3"}, {Up, "status"}, {Up, "serverinfo"},
            {Up, "map_restart"}, {Up, "map_restart"}, {Down, "serverinfo"}, {Down, "status"}, {Down, "kick 3"},
            {Down, "say hel"}, {Down, "say hel"}, {Up, "kick 3"}, {Up, "status"}, {Type, " 2"}, {Up, "kick 3"},
            {Down, "status 2"}, {Qt::Key_Escape, ""}, {Up, "kick 3"}, {Up, "status"}, {Up, "serverinfo"}};
        for (const auto& [key, text] : walk) {
            if (key == Type) {
                QTest::keyClicks(ui(w).txtCommand, QString::fromLatin1(text));
                continue;
            }
            QTest::keyClick(ui(w).txtCommand, key);
            QCOMPARE(ui(w).txtCommand->text(), QString::fromLatin1(text));
        }
        // Recalling sent nothing; Enter sends the recalled command.
        QTest::keyClick(ui(w).txtCommand, Qt::Key_Return);
        QVERIFY(server.waitForDatagrams(7));
        QCOMPARE(server.received()[6].data, Request("pw serverinfo"));
    }
};

QTEST_MAIN(ExchangeTest)
#include "tst_exchange.moc"
