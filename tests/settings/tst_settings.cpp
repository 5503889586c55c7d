// The main window's fields, options and server histories kept between runs, through a real
// settings file in a temporary folder. Each "next start" reads the file from the disk.
#include "../log/ExchangeRig.h"

#include <QSettings>

#include <sys/stat.h>

namespace {
// The store keeps what it read in memory; a new name for its folder makes it read the disk.
QByteArray nextStart(const TestEnv& env)
{
    static int serial = 0;
    const QString alias = env.configHome() + QStringLiteral("/.alias%1").arg(++serial);
    QFile::link(env.configHome(), alias);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(alias));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, alias);
    return ReadFile(env.settingsFile());
}

// What the user sees of every restored control: the boxes, the check boxes, the two lists.
QString shown(const frmMain& w)
{
    QStringList s = {ui(w).txtAddr->currentText(), ui(w).txtPort->currentText(), ui(w).txtMinutes->text(), ui(w).txtPassword->text(),
        ui(w).cboMinsSecs->currentText(), QString::number(ui(w).ckQueryStat->value() * 100 + ui(w).ckLog->value() * 10 + ui(w).ckSavePwd->value())};
    for (const QComboBox* box : {ui(w).txtAddr, ui(w).txtPort}) {
        QStringList items;
        for (int i = 0; i < box->count(); ++i)
            items << box->itemText(i);
        s << items.join(QLatin1Char(','));
    }
    return s.join(QLatin1Char('|'));
}
}

class SettingsTest : public QObject {
    Q_OBJECT
private slots:
    // Everything comes back at the next start, the address without its spaces, the password
    // exactly as typed (only while Save Password is checked). The file can hold the password:
    // it is its owner's alone whatever the umask, and narrowed again when someone opened it up.
    void fieldsAndOptionsComeBack()
    {
        TestEnv env;
        const mode_t umask = ::umask(0);
        {
            frmMain w;
            QCOMPARE(shown(w), QStringLiteral("|27960|5||Minutes|0||"));
            ui(w).txtAddr->setEditText(QStringLiteral("  \tquake.example  "));
            ui(w).txtPort->setEditText(QStringLiteral(" 27961 "));
            ui(w).ckQueryStat->setValue(1);
            ui(w).ckLog->setValue(2);
            ui(w).txtMinutes->setText(QStringLiteral("7"));
            ui(w).ckSavePwd->setValue(1);
            ui(w).txtPassword->setText(QStringLiteral("  pass \"w0rd\" = ; \\ ä  "));
            ui(w).cboMinsSecs->setEditText(QStringLiteral("Seconds"));
            ui(w).cmdQuit->click();
        }
        QCOMPARE(FileMode(env.configHome() + QStringLiteral("/Quillhaven")) * 010000 + FileMode(env.settingsFile()), 0700 * 010000 + 0600);
        ::chmod(QFile::encodeName(env.settingsFile()).constData(), 0666);
        nextStart(env);
        {
            // The port is the last one sent (none was); the first query a full interval away.
            frmMain w;
            QCOMPARE(shown(w), QStringLiteral("\tquake.example|27960|7|  pass \"w0rd\" = ; \\ ä  |Seconds|121||"));
            QVERIFY(ui(w).tmrMain->isActive() && ui(w).tmrMain->interval() == 1000 && w.ticks() == 0);
            ui(w).ckSavePwd->setValue(2);
            ui(w).mnuFileExit->trigger();
        }
        ::umask(umask);
        QCOMPARE(FileMode(env.settingsFile()), 0600);
        QVERIFY(!nextStart(env).contains("w0rd"));
    }

    // Each send records its address and port as typed, once (letter case counts); the last
    // port sent is restored. Full histories: the 16th address goes to the query-server
    // section only, the 11th port over the first. Clear History asks first.
    void histories()
    {
        TestEnv env;
        LoopbackServer server;
        const QString port = QString::number(server.port());
        QStringList addresses = {"127.0.0.1"}, ports = {"30009", ' ' + port};
        {
            frmMain w;
            AimAt(w, server.port());
            ui(w).Command2->click();
            ui(w).txtPort->setEditText(QLatin1Char(' ') + port);
            ui(w).Command2->click();
            for (int i = 1; i <= 16; ++i)
                w.AddAddrHist(QStringLiteral("Host%1").arg(i));
            w.AddAddrHist(QStringLiteral("host1"));
            for (int i = 1; i <= 9; ++i)
                w.AddPortHist(QString::number(30000 + i));
        }
        QByteArray file = nextStart(env);
        QVERIFY(file.contains("QueryServer\\ServerAddr1=host1\n") && !file.contains("ServerAddr16"));
        for (int i = 1; i <= 14; ++i)
            addresses << QStringLiteral("Host%1").arg(i);
        for (int i = 1; i <= 8; ++i)
            ports << QString::number(30000 + i);
        {
            frmMain w;
            QCOMPARE(shown(w), QStringLiteral("127.0.0.1|%1|5||Minutes|0|%2|%3").arg(port, addresses.join(','), ports.join(',')));
            MessageBox::setNextAnswer(QMessageBox::No);
            ui(w).cmdClearHist->click();
            QCOMPARE(MessageBox::takeShown().value(0).text, QStringLiteral("This will clear all queried servers from history.  Continue?"));
            QCOMPARE(nextStart(env), file);
            ui(w).cmdClearHist->click();
            QCOMPARE(shown(w), QStringLiteral("||5||Minutes|0||"));
        }
        file = nextStart(env);
        QVERIFY(!file.contains("Host") && !file.contains("127.0.0.1") && file.contains("QueryServer\\ServerAddr1=host1"));
        frmMain w;
        QCOMPARE(shown(w), QStringLiteral("|%1|5||Minutes|0||").arg(port));
    }
};

QTEST_MAIN(SettingsTest)
#include "tst_settings.moc"
