// The Servers window. Without a session bus (no keyring): a damaged list file kept aside, the
// list written whole without passwords, passwords kept in memory and said so once, a question
// that quotes a command shown as plain text. Then, in a session bus of its own with a GNOME
// Keyring: two real OpenArena servers with two passwords, live from getstatus, one command
// sent to both, a wrong password on one, and the passwords in the keyring alone.
#include "../log/ExchangeRig.h"
#include "KeyringSession.h"
#include "OpenArenaServer.h"
#include "ScriptedServer.h"
#include "TestEnv.h"

#include "servers/ServerForm.h"
#include "console/ServerList.h"
#include "console/ServerPasswords.h"
#include "servers/ServerPoller.h"
#include "servers/ServersModel.h"
#include "servers/frmServers.h"
#include "players/frmPlayers.h"
#include "settings/SettingsStore.h"
#include "settings/UserDataFolder.h"

#include <QDirIterator>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTableView>
#include <QTextDocument>

namespace {
const bool withKeyring = InKeyringSession();

QString listFile()
{
    return UserDataFolder() + QLatin1Char('/') + ServerListFileName;
}

// The keyring's password for a server; "" when there is none.
QString inKeyring(quint16 port)
{
    const QString host = QStringLiteral("127.0.0.1");
    return KeyringSecret(ServerPasswords::ServiceOf(host, port), ServerPasswords::EntryOf(host, port));
}

// The names a keyring manager shows for the server's entries.
QStringList labelsOf(quint16 port)
{
    return KeyringLabels(ServerPasswords::EntryOf(QStringLiteral("127.0.0.1"), port));
}

// The files under the test's folders whose bytes hold the text.
QStringList filesHolding(const QStringList& folders, const QString& text)
{
    QStringList found;
    for (const QString& folder : folders) {
        QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (ReadFile(path).contains(text.toUtf8()))
                found << path;
        }
    }
    return found;
}

QString cell(const frmServers* s, int row, int column, int role = Qt::DisplayRole)
{
    return s->servers->index(row, column).data(role).toString();
}

// Fills the form that Add... or Edit... opened, and presses OK.
void fillForm(frmServers* s, const QString& label, const QString& address, const QString& group, const QString& password)
{
    auto* form = s->findChild<ServerForm*>();
    QVERIFY(form && form->isVisible());
    for (const QLabel* label : s->findChildren<QLabel*>())  // the window's and the form's
        QCOMPARE(label->textFormat(), Qt::PlainText);
    form->txtLabel->setText(label);
    form->txtAddress->setText(address);
    form->txtGroup->setText(group);
    form->txtPassword->setText(password);
    form->accept();
    QTRY_VERIFY(!s->findChild<ServerForm*>());
}

// A tool tip's text as the tool tip shows it: as markup when it looks like markup.
QString tipShown(const QString& tip)
{
    QTextDocument shown;
    if (Qt::mightBeRichText(tip))
        shown.setHtml(tip);
    else
        shown.setPlainText(tip);
    return shown.toPlainText();
}

void selectRows(frmServers* s, const QList<int>& rows)
{
    s->grdServers->clearSelection();
    for (int row : rows) {
        const QModelIndex at = s->sortedServers->mapFromSource(s->servers->index(row, 0));
        s->grdServers->selectionModel()->select(at, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        s->grdServers->selectionModel()->setCurrentIndex(at, QItemSelectionModel::NoUpdate);
    }
}
}

class ServersWindowTest : public QObject {
    Q_OBJECT
private slots:
    void listAndPasswordsWithoutKeyring()
    {
        if (withKeyring)
            QSKIP("run without a session bus");
        TestEnv env;
        ServerPasswords::ResetForTests();
        QVERIFY(MakeUserDataFolder());
        const QByteArray damaged = R"({"kind": "telmorax servers", "version": 1, "servers": [{"label": "", "host": "a", "port": 99999}]})";
        QVERIFY(WriteUserDataFile(ServerListFileName, damaged));
        const quint16 nobody = quint16(FreeUdpPort());
        // Columns kept by a version without the Group column, sorted by host name (then
        // column 2): not handed to the Group column.
        QStandardItemModel eight(0, 8);
        QTableView before;
        before.setModel(&eight);
        before.horizontalHeader()->setSortIndicator(2, Qt::DescendingOrder);
        SaveProgramSetting(Key::ServersColumns, QString::fromLatin1(before.horizontalHeader()->saveState().toBase64()));
        {
            frmMain w;
            AimAt(w, nobody, QStringLiteral("memPw1"), QStringLiteral("localhost"));
            ui(w).mnuCommandsServers->trigger();
            frmServers* s = w.findChild<frmServers*>();
            QVERIFY(s && s->isVisible());
            QCOMPARE(s->servers->rowCount(), 0);
            QVERIFY2(s->lblNotice->text().contains(listFile() + QStringLiteral(".damaged")), qPrintable(s->lblNotice->text()));
            QCOMPARE(ReadFile(listFile() + QStringLiteral(".damaged")), damaged);
            QVERIFY(!QFile::exists(listFile()));
            // No session bus, so no keyring: said as the window opens, which shows every column.
            QVERIFY(s->lblNotice->text().contains(QStringLiteral("No keyring")));
            QHeaderView* header = s->grdServers->horizontalHeader();
            QCOMPARE(header->sortIndicatorSection(), int(ServersModel::Label));
            QVERIFY(header->sectionViewportPosition(ServersModel::LastAnswer) + header->sectionSize(ServersModel::LastAnswer)
                <= s->grdServers->viewport()->width());

            // The current server, its password kept in memory: said once.
            s->cmdAddCurrent->click();
            s->cmdAddCurrent->click();
            QCOMPARE(s->servers->rowCount(), 1);
            QTest::qWait(100);
            QCOMPARE(s->lblNotice->text().count(QStringLiteral("No keyring")), 1);
            QCOMPARE(cell(s, 0, ServersModel::Label), QStringLiteral("localhost:%1").arg(nobody));

            // A label of any characters and a group, through Edit..., read back whole; the
            // password goes with the server to its new address.
            const QString odd = QStringLiteral("Ünï \"q\" \\ <b>x</b>\ttab");
            selectRows(s, {0});
            s->cmdEdit->click();
            fillForm(s, odd, QStringLiteral("127.0.0.1"), QStringLiteral("R&D"), QString());
            s->cmdAdd->click();
            fillForm(s, QString(), QStringLiteral("[::1]:%1").arg(nobody), QStringLiteral("r&d"), QString());
            // An address the list has already keeps the form open, with what was typed.
            s->cmdAdd->click();
            auto* form = s->findChild<ServerForm*>();
            form->txtAddress->setText(QStringLiteral("127.0.0.1:%1").arg(nobody));
            form->accept();
            QVERIFY(form->isVisible());
            QCOMPARE(form->lblProblem->text(), QStringLiteral("127.0.0.1:%1 is in the list already, as %2.").arg(QString::number(nobody), odd));
            QCOMPARE(form->txtAddress->text(), QStringLiteral("127.0.0.1:%1").arg(nobody));
            form->reject();
            QTRY_VERIFY(!s->findChild<ServerForm*>());
            const LoadedServerList read = LoadServerList();
            QCOMPARE(read.notice, QString());
            QCOMPARE(read.servers.size(), 2);
            QCOMPARE(read.servers[0].label, odd);
            QCOMPARE(read.servers[0].group, QStringLiteral("R&D"));
            QCOMPARE(read.servers[1].address(), QStringLiteral("[::1]:%1").arg(nobody));
            QCOMPARE(ServerGroups(read.servers), QStringList{QStringLiteral("R&D")});
            QCOMPARE(tipShown(cell(s, 0, ServersModel::Label, Qt::ToolTipRole)), QStringLiteral("127.0.0.1:%1, group R&D").arg(nobody));
            QCOMPARE(cell(s, 1, ServersModel::Group), QStringLiteral("r&d"));
            QCOMPARE(FileMode(listFile()), 0600);
            QCOMPARE(filesHolding({env.configHome(), UserDataFolder()}, QStringLiteral("memPw1")), QStringList());

            // A server's password from memory into the main window.
            ui(w).txtPassword->clear();
            ui(w).txtAddr->setEditText(QStringLiteral("elsewhere"));
            s->grdServers_Activated(0);
            QTRY_COMPARE(ui(w).txtPassword->text(), QStringLiteral("memPw1"));
            QCOMPARE(ui(w).txtAddr->currentText(), QStringLiteral("127.0.0.1"));
            QCOMPARE(ui(w).txtPort->currentText(), QString::number(nobody));

            // The question before sending to two quotes the command as plain text; No sends nothing.
            selectRows(s, {0, 1});
            s->txtCommand->setText(QStringLiteral("say <img src=/dev/zero>"));
            MessageBox::setRecording(false);
            bool asked = false;
            QTimer::singleShot(0, this, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                QVERIFY(box);
                asked = true;
                QCOMPARE(box->textFormat(), Qt::PlainText);
                QCOMPARE(box->text(), QStringLiteral("Send `say <img src=/dev/zero>` to 2 servers: %1 (127.0.0.1:%2), [::1]:%2?").arg(odd, QString::number(nobody)));
                QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
                box->button(QMessageBox::No)->click();
            });
            s->cmdSend->click();
            MessageBox::setRecording(true);
            QVERIFY(asked);
            QCOMPARE(s->txtResults->text(), QString());

            // One server with a password, one without: each its own outcome.
            s->cboSendTo->setCurrentIndex(s->cboSendTo->findText(QStringLiteral("Group: R&D")));
            MessageBox::setNextAnswer(QMessageBox::Yes);
            QTest::keyClick(s->txtCommand, Qt::Key_Return);
            QTRY_VERIFY_WITH_TIMEOUT(s->txtResults->text().contains(QStringLiteral("== %1 (127.0.0.1:%2): refused").arg(odd).arg(nobody)), 5000);
            QVERIFY(s->txtResults->text().contains(QStringLiteral("== [::1]:%1 ([::1]:%1): no password saved").arg(nobody)));
        }
        // A list damaged again goes beside the first one.
        QVERIFY(WriteUserDataFile(ServerListFileName, "x"));
        QCOMPARE(LoadServerList().servers.size(), 0);
        QCOMPARE(ReadFile(listFile() + QStringLiteral(".damaged-2")), QByteArray("x"));
        QCOMPARE(ReadFile(listFile() + QStringLiteral(".damaged")), damaged);
    }

    // The main window on a saved server sends with that server's own password (at start, from
    // the history, as the boxes change), and gets back the one it had for a server not in the
    // list. A refused password goes out once with the timed query, which says so once and
    // goes on when the password changes.
    void mainWindowUsesEachServersPassword()
    {
        TestEnv env;
        ServerPasswords::ResetForTests();
        ScriptedServer first(QStringLiteral("firstPw1")), second(QStringLiteral("secondPw2"));
        second.answer(QStringLiteral("status"), {"map: oa_dm2\ncl score ping name address rate\n-- ----- ---- ---- ------- ----\n\n"});
        ServerPasswords passwords;
        QList<SavedServer> list;
        int kept = 0;
        // With a keyring: the second's as an earlier version filed it, under "telmorax", to be
        // found and moved under a service a keyring manager shows as its name; an earlier
        // version's copy of the first goes once the first's own is written.
        const QString firstEntry = ServerPasswords::EntryOf(QStringLiteral("127.0.0.1"), first.port());
        const QString secondEntry = ServerPasswords::EntryOf(QStringLiteral("127.0.0.1"), second.port());
        QVERIFY(!withKeyring || WriteAsEarlierVersion(firstEntry, QStringLiteral("firstStale")));
        for (const ScriptedServer* s : {&first, &second}) {
            list << SavedServer{QString(), QStringLiteral("127.0.0.1"), s->port(), QString()};
            if (withKeyring && s == &second)
                kept += WriteAsEarlierVersion(secondEntry, s->password());
            else
                passwords.write(list.last().host, s->port(), s->password(), &passwords, [&kept](bool ok) { kept += ok; });
        }
        QVERIFY(SaveServerList(list));
        QTRY_COMPARE(kept, 2);
        SaveProgramSetting(Key::Password, QStringLiteral("lastUsedPw"));

        frmMain w;  // as `telmorax 127.0.0.1:PORT` opens it
        ui(w).txtAddr->setEditText(QStringLiteral("127.0.0.1"));
        ui(w).txtPort->setEditText(QString::number(second.port()));
        QTRY_COMPARE(ui(w).txtPassword->text(), second.password());
        SendCommand(w, QStringLiteral("status"));
        QTRY_VERIFY(ui(w).txtOutput->text().endsWith(QStringLiteral("map: oa_dm2\r\ncl score ping name address rate\r\n-- ----- ---- ---- ------- ----\r\n\r\n")));
        if (withKeyring) {
            QTRY_COMPARE(labelsOf(second.port()), QStringList{QStringLiteral("telmorax ") + secondEntry});
            QTRY_COMPARE(labelsOf(first.port()), QStringList{QStringLiteral("telmorax ") + firstEntry});
            QCOMPARE(inKeyring(second.port()), second.password());
        }
        ui(w).txtPort->addItem(QString::number(first.port()));
        ui(w).txtPort->setCurrentIndex(ui(w).txtPort->count() - 1);
        QTRY_COMPARE(ui(w).txtPassword->text(), first.password());
        ui(w).txtPort->setEditText(QString::number(FreeUdpPort()));
        QTRY_COMPARE(ui(w).txtPassword->text(), QStringLiteral("lastUsedPw"));

        ui(w).txtPort->setEditText(QString::number(second.port()));
        QTRY_COMPARE(ui(w).txtPassword->text(), second.password());
        QTest::keyClick(ui(w).txtPassword, Qt::Key_X);  // typed: the box's own now
        ui(w).txtPort->setEditText(QString::number(second.port()) + QLatin1Char(' '));
        QCoreApplication::processEvents();  // the window asks the keyring first; its answer comes first
        bool answered = false;
        passwords.read(QStringLiteral("127.0.0.1"), second.port(), &passwords, [&answered](const QString&) { answered = true; });
        QTRY_VERIFY(answered);
        QCOMPARE(ui(w).txtPassword->text(), second.password() + QLatin1Char('x'));
        w.GetStatus();
        QTRY_VERIFY(ui(w).txtOutput->text().endsWith(QStringLiteral("Bad rconpassword.\r\n")));
        for (int i = 0; i < 3; ++i)
            w.GetStatus();
        QCOMPARE(ui(w).txtOutput->text().count(QStringLiteral("refused the password: the timed status query waits")), 1);
        QTest::keyClick(ui(w).txtPassword, Qt::Key_Backspace);
        w.GetStatus();
        QTRY_VERIFY(ui(w).txtOutput->text().endsWith(QStringLiteral("map: oa_dm2\r\ncl score ping name address rate\r\n-- ----- ---- ---- ------- ----\r\n\r\n")));
        QCOMPARE(second.requests(), 3);
        QCOMPARE(first.requests(), 0);
    }

    void fleetOfTwoRealServers()
    {
        if (!withKeyring)
            QSKIP("run in a session bus with a keyring");
        TestEnv env;
        OpenArenaServer alpha(QStringLiteral("alphaPw1")), bravo(QStringLiteral("bravoPw2"));
        QVERIFY2(alpha.start(), qPrintable(alpha.errorText()));
        QVERIFY2(bravo.start(), qPrintable(bravo.errorText()));
        alpha.rcon(QStringLiteral("addbot Sarge 2"));
        alpha.rcon(QStringLiteral("sv_hostname \"^1Red <b>Fort</b>\""));
        const QString a = QStringLiteral("127.0.0.1:%1").arg(alpha.port()), b = QStringLiteral("127.0.0.1:%1").arg(bravo.port());

        frmMain w;
        AimAt(w, alpha.port(), alpha.password());
        ui(w).ckLog->setValue(1);
        ui(w).mnuCommandsServers->trigger();
        frmServers* s = w.findChild<frmServers*>();
        s->cmdAddCurrent->click();
        selectRows(s, {0});
        s->cmdEdit->click();
        fillForm(s, QStringLiteral("Alpha"), QStringLiteral("127.0.0.1"), QStringLiteral("fleet"), QString());
        s->cmdAdd->click();
        fillForm(s, QStringLiteral("Bravo"), b, QStringLiteral("Fleet"), bravo.password());
        QCOMPARE(s->servers->rowCount(), 2);

        // Live from getstatus, without a password.
        QTRY_COMPARE_WITH_TIMEOUT(cell(s, 1, ServersModel::Map), QStringLiteral("oa_dm1"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(cell(s, 0, ServersModel::Players).startsWith(QStringLiteral("0 + 1 / ")), 10000);
        QVERIFY(cell(s, 1, ServersModel::Players).startsWith(QStringLiteral("0 + 0 / ")));
        QCOMPARE(cell(s, 0, ServersModel::HostName), QStringLiteral("Red <b>Fort</b>"));
        QCOMPARE(cell(s, 0, ServersModel::HostName, ServersModel::HostNameWithCodesRole), QStringLiteral("^1Red <b>Fort</b>"));
        QCOMPARE(tipShown(cell(s, 0, ServersModel::HostName, Qt::ToolTipRole)), QStringLiteral("With its colour codes: ^1Red <b>Fort</b>"));
        QVERIFY(cell(s, 0, ServersModel::Ping).toInt() >= 0 && !cell(s, 0, ServersModel::LastAnswer).isEmpty());

        // One command to the group, each server with its own password, each answer labelled.
        s->cboSendTo->setCurrentIndex(s->cboSendTo->findText(QStringLiteral("Group: fleet")));
        s->txtCommand->setText(QStringLiteral("say hello"));
        MessageBox::setNextAnswer(QMessageBox::Yes);
        QTest::keyClick(s->txtCommand, Qt::Key_Return);
        const QList<MessageBox::Shown> asked = MessageBox::takeShown();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].text, QStringLiteral("Send `say hello` to 2 servers: Alpha (%1), Bravo (%2)?").arg(a, b));
        QList<SavedServer> five(5, SavedServer{QString(), QStringLiteral("192.0.2.1"), 27960, QString()});
        five[1].label = QStringLiteral("Bravo");
        QCOMPARE(NamedServers(five), QStringLiteral("192.0.2.1:27960, Bravo (192.0.2.1:27960), 192.0.2.1:27960 and 2 more"));
        QCOMPARE(asked[0].defaultButton, QMessageBox::No);
        for (const QString& section : {QStringLiteral("== Alpha (%1): answered\r\nconsole: hello\r\n").arg(a),
                 QStringLiteral("== Bravo (%1): answered\r\nconsole: hello\r\n").arg(b)})
            QTRY_VERIFY2_WITH_TIMEOUT(s->txtResults->text().contains(section), qPrintable(s->txtResults->text()), 10000);
        for (const QString& server : {a, b})
            QVERIFY(env.readLog().contains((Echo(QStringLiteral("say hello")) + QStringLiteral("   (sent to %1)").arg(server)).toLatin1()));
        QVERIFY(env.readLog().contains(QStringLiteral("== Bravo (%1): answered\r\nconsole: hello").arg(b).toLatin1()));

        // A wrong password on one: that one alone says so.
        selectRows(s, {1});
        s->cmdEdit->click();
        fillForm(s, QStringLiteral("Bravo"), b, QStringLiteral("fleet"), QStringLiteral("bravoWrong3"));
        QCOMPARE(s->grdServers->selectionModel()->selectedRows().value(0).data().toString(), QStringLiteral("Bravo"));
        QTRY_COMPARE(inKeyring(bravo.port()), QStringLiteral("bravoWrong3"));
        MessageBox::setNextAnswer(QMessageBox::Yes);
        s->txtCommand->setText(QStringLiteral("say again"));
        s->cmdSend->click();
        QTRY_VERIFY_WITH_TIMEOUT(s->txtResults->text().contains(QStringLiteral("== Bravo (%1): bad password\r\nBad rconpassword.").arg(b)), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(s->txtResults->text().contains(QStringLiteral("== Alpha (%1): answered\r\nconsole: again").arg(a)), 10000);

        // Both passwords in the keyring; no file holds either.
        QCOMPARE(inKeyring(alpha.port()), alpha.password());
        const QStringList folders = {env.configHome(), env.programFolder(), UserDataFolder()};
        for (const QString& secret : {alpha.password(), bravo.password(), QStringLiteral("bravoWrong3")})
            QCOMPARE(filesHolding(folders, secret), QStringList());
        QVERIFY(ReadFile(listFile()).contains("\"Bravo\""));

        // Enter on a row puts its server into the main window; the Players window follows.
        ui(w).mnuCommandsPlayers->trigger();
        selectRows(s, {1});
        QTest::keyClick(s->grdServers, Qt::Key_Return);
        QTRY_COMPARE(ui(w).txtPassword->text(), QStringLiteral("bravoWrong3"));
        QCOMPARE(ui(w).txtPort->currentText(), QString::number(bravo.port()));
        QTRY_VERIFY_WITH_TIMEOUT(w.findChild<frmPlayers*>()->lblProblem->text().contains(b + QStringLiteral(" answered: Bad rconpassword.")), 5000);

        // A server gone silent keeps its last values, greyed.
        bravo.stop();
        s->txtPollSeconds->setValue(2);
        QTRY_VERIFY_WITH_TIMEOUT(cell(s, 1, ServersModel::LastAnswer).contains(QStringLiteral("(last ")), 10000);
        QCOMPARE(cell(s, 1, ServersModel::Map), QStringLiteral("oa_dm1"));
        QVERIFY(s->servers->index(1, ServersModel::Map).data(Qt::ForegroundRole).isValid());
        QVERIFY(!s->servers->index(0, ServersModel::Map).data(Qt::ForegroundRole).isValid());

        // Remove asks first; its password goes with it, and a copy an earlier version filed.
        QVERIFY(WriteAsEarlierVersion(ServerPasswords::EntryOf(QStringLiteral("127.0.0.1"), bravo.port()), QStringLiteral("bravoOld")));
        QCOMPARE(labelsOf(bravo.port()).size(), 2);
        selectRows(s, {1});
        s->cmdRemove->click();
        QCOMPARE(s->servers->rowCount(), 2);  // No, the default
        MessageBox::setNextAnswer(QMessageBox::Yes);
        s->cmdRemove->click();
        QCOMPARE(s->servers->rowCount(), 1);
        QTRY_COMPARE(labelsOf(bravo.port()), QStringList());
        QCOMPARE(LoadServerList().servers.size(), 1);

        s->close();
        QVERIFY(!s->poller->isRunning());
        QCOMPARE(GetProgramSetting(Key::ServersPollSeconds), QStringLiteral("2"));
    }
};

// Without a session bus there is no keyring: the first test; then the second with one.
int main(int argc, char** argv)
{
    ServersWindowTest test;
    return RunWithoutAndWithKeyring(test, argc, argv);
}

#include "tst_serverswindow.moc"
