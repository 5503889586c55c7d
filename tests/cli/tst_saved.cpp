// The command line with the Servers window's saved list: --list, and --send to a group or to
// all. Without a keyring nothing is sent. With a real one (KeyringSession), each server with
// its own password from it, against a real OpenArena server saved twice (the right password
// and a wrong one), a silent socket and a closed port on 127.0.0.1.
#include "KeyringSession.h"
#include "OpenArenaServer.h"
#include "TestEnv.h"

#include "console/ServerList.h"
#include "console/ServerPasswords.h"

#include <QDirIterator>
#include <QNetworkDatagram>
#include <QProcess>
#include <QUdpSocket>
#include <QtTest>

namespace {
struct Run {
    int status = -1;
    QString out;
    QString err;
};

// The program, with the test's folders, no display, standard input a pipe.
Run run(const QStringList& arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "TELMORAX_PASSWORD"})
        env.remove(QString::fromLatin1(name));
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/telmorax"), arguments);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
        QString::fromUtf8(p.readAllStandardError())};
}
}

class SavedServersTest : public QObject {
    Q_OBJECT
private slots:
    void sendsToTheSavedServersWithTheirOwnPasswords()
    {
        TestEnv env;
        if (!InKeyringSession()) {
            // Nothing can be read: nothing is sent, and each server says so.
            QVERIFY(SaveServerList({{QStringLiteral("A"), QStringLiteral("127.0.0.1"), 1, QStringLiteral("g")},
                {QStringLiteral("B"), QStringLiteral("127.0.0.1"), 2, QStringLiteral("G")}}));
            const Run noKeyring = run({QStringLiteral("--group"), QStringLiteral("g"), QStringLiteral("--send"), QStringLiteral("status")});
            QCOMPARE(noKeyring.status, 2);
            QCOMPARE(noKeyring.out, QStringLiteral("== A (127.0.0.1:1)\n== B (127.0.0.1:2)\n"));
            QVERIFY2(noKeyring.err.contains(QStringLiteral("no keyring")) && noKeyring.err.count(QStringLiteral("no password saved")) == 2,
                qPrintable(noKeyring.err));
            return;
        }
        const QString password = QStringLiteral("fleet-%1").arg(QRandomGenerator::global()->generate());
        OpenArenaServer server(password);
        server.listenOnIPv6Too();  // "localhost" may be ::1
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        QUdpSocket silent;
        QVERIFY(silent.bind(QHostAddress::LocalHost, 0));
        const int p = server.port(), quiet = silent.localPort(), closed = FreeUdpPort();
        const QString alpha = QStringLiteral("127.0.0.1:%1").arg(p), local = QStringLiteral("localhost:%1").arg(p);
        const QString charlie = QStringLiteral("127.0.0.1:%1").arg(quiet), delta = QStringLiteral("127.0.0.1:%1").arg(closed);
        QVERIFY(SaveServerList({{QStringLiteral("Alpha"), QStringLiteral("127.0.0.1"), p, QStringLiteral("Fleet")},
            {QString(), QStringLiteral("localhost"), p, QStringLiteral("fleet")},
            {QStringLiteral("Charlie\t^1"), QStringLiteral("127.0.0.1"), quiet, QStringLiteral("other")},
            {QStringLiteral("Delta"), QStringLiteral("127.0.0.1"), closed, QString()}}));
        ServerPasswords passwords;
        int written = 0;
        for (const auto& [host, port, pw] : {std::make_tuple(QStringLiteral("127.0.0.1"), p, password),
                 std::make_tuple(QStringLiteral("localhost"), p, QStringLiteral("wrong-pw")),
                 std::make_tuple(QStringLiteral("127.0.0.1"), quiet, QStringLiteral("quiet-pw"))})
            passwords.write(host, port, pw, this, [&](bool kept) { written += kept ? 1 : 0; });
        QTRY_COMPARE(written, 3);
        QVERIFY(!ServerPasswords::InMemoryOnly());

        // One a line, no passwords; the label's control characters shown as '?'.
        const Run list = run({QStringLiteral("--list")});
        QCOMPARE(list.status, 0);
        QCOMPARE(list.out, QStringLiteral("%1\tFleet\tAlpha\n%2\tfleet\t%2\n%3\tother\tCharlie?^1\n%4\t\tDelta\n")
                               .arg(alpha, local, charlie, delta));

        // The group, its name's letter case not counting: each answer after its server's line,
        // the wrong password refused for that server alone; the worst status is the program's.
        // The log holds each exchange with its server's address.
        QTemporaryDir files;
        const QString log = files.filePath(QStringLiteral("fleet.log"));
        const Run group = run({QStringLiteral("--send"), QStringLiteral("say hello"), QStringLiteral("--group"), QStringLiteral("FLEET"),
            QStringLiteral("--log"), log});
        QCOMPARE(group.status, 3);
        QCOMPARE(group.out, QStringLiteral("== Alpha (%1)\nconsole: hello\n== %2 (%2)\nBad rconpassword.\n").arg(alpha, local));
        QVERIFY2(group.err.contains(QStringLiteral("%1 (%1) refused the rcon password").arg(local)), qPrintable(group.err));
        QVERIFY(server.waitForOutput(QStringLiteral("hello")));
        const QString logged = QString::fromLatin1(ReadFile(log));
        for (const QString& record : {QStringLiteral(" : say hello   (sent to %1)\r\n").arg(alpha), QStringLiteral(" : say hello   (sent to %1)\r\n").arg(local),
                 QStringLiteral("== Alpha (%1): answered\r\nconsole: hello\r\n").arg(alpha),
                 QStringLiteral("== %1 (%1): bad password\r\nBad rconpassword.\r\n").arg(local)})
            QVERIFY2(logged.contains(record), qPrintable(logged));
        QVERIFY(!logged.contains(password));

        // All: a silent server and one without a password too, in the list's order.
        const Run all = run({QStringLiteral("--all"), QStringLiteral("--send"), QStringLiteral("status"), QStringLiteral("--wait"), QStringLiteral("0.5")});
        QCOMPARE(all.status, 4);
        QVERIFY2(all.out.startsWith(QStringLiteral("== Alpha (%1)\nmap: oa_dm1\n").arg(alpha)), qPrintable(all.out));
        QVERIFY2(all.out.endsWith(QStringLiteral("Bad rconpassword.\n== Charlie?^1 (%1)\n== Delta (%2)\n").arg(charlie, delta)), qPrintable(all.out));
        QVERIFY2(all.err.contains(QStringLiteral("no answer from Charlie?^1 (%1)").arg(charlie)), qPrintable(all.err));
        QVERIFY2(all.err.contains(QStringLiteral("Delta (%1): no password saved").arg(delta)), qPrintable(all.err));
        QVERIFY(silent.hasPendingDatagrams());
        QCOMPARE(silent.receiveDatagram().data(), QByteArray("\xff\xff\xff\xffrcon quiet-pw status"));

        const Run none = run({QStringLiteral("--group"), QStringLiteral("nosuch"), QStringLiteral("--send"), QStringLiteral("status")});
        QCOMPARE(none.status, 2);
        QVERIFY2(none.err.contains(QStringLiteral("no saved server is in the group \"nosuch\"")), qPrintable(none.err));

        // The passwords are in no file of the user's folders.
        for (const QString& folder : {qEnvironmentVariable("XDG_DATA_HOME"), env.configHome()}) {
            for (QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
                const QByteArray bytes = ReadFile(it.next());
                QVERIFY2(!bytes.contains(password.toLatin1()) && !bytes.contains("quiet-pw"), qPrintable(it.filePath()));
            }
        }
    }
};

int main(int argc, char** argv)
{
    SavedServersTest test;
    return RunWithoutAndWithKeyring(test, argc, argv);
}

#include "tst_saved.moc"
