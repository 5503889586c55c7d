// The View and Help menu items that hand work to the text editor and the web browser.
#include "TestEnv.h"

#include "settings/ProgramInfo.h"
#include "ui/Launcher.h"
#include "ui/MessageBox.h"
#include "ui/OpenTextFile.h"
#include "ui/WebLinks.h"
#include "ui/frmMain.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QtTest>

namespace {
void writeFile(const QString& path, const QByteArray& content = "list\n")
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

// Catches what the desktop would be asked to open, through the real launcher.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};
}

class LinksTest : public QObject {
    Q_OBJECT
private slots:
    void referenceListsPresentAndMissing()
    {
        TestEnv env;
        frmMain window;
        struct Item {
            QAction* action;
            QString file;
            QString message;
        };
        const QList<Item> items = {
            {window.mnuViewCommands, QStringLiteral("commands.txt"),
                QStringLiteral("Commands.txt appears to be missing!  Try repairing the application using the original setup files.")},
            {window.mnuViewVariables, QStringLiteral("variables.txt"),
                QStringLiteral("Variables.txt appears to be missing!  Try repairing the application using the original setup files.")},
        };
        for (const Item& item : items) {
            const QString path = env.programFolder() + QLatin1Char('/') + item.file;

            // Missing: the message, and nothing starts.
            item.action->trigger();
            QVERIFY(Launcher::takeRequests().isEmpty());
            auto shown = MessageBox::takeShown();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].text, item.message);
            QCOMPARE(shown[0].title, QStringLiteral("Vantorin Commands"));
            QCOMPARE(shown[0].icon, QMessageBox::Warning);
            QCOMPARE(shown[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

            // Created after that choice: found on the next one, and the editor gets the full path.
            writeFile(path);
            item.action->trigger();
            QVERIFY(MessageBox::takeShown().isEmpty());
            auto requests = Launcher::takeRequests();
            QCOMPARE(requests.size(), 1);
            QCOMPARE(requests[0].kind, Launcher::Request::OpenFile);
            QCOMPARE(requests[0].target, path);

            // Deleted again: missing again.
            QVERIFY(QFile::remove(path));
            item.action->trigger();
            QVERIFY(Launcher::takeRequests().isEmpty());
            QCOMPARE(MessageBox::takeShown().size(), 1);

            // A folder of that name is not the file.
            QVERIFY(QDir().mkpath(path));
            item.action->trigger();
            QVERIFY(Launcher::takeRequests().isEmpty());
            QCOMPARE(MessageBox::takeShown().size(), 1);
            QVERIFY(QDir(path).removeRecursively());
        }
    }

    void folderWithSpaces()
    {
        TestEnv env;
        frmMain window;
        const QString folder = env.programFolder() + QStringLiteral("/Program Files/Quillhaven Vantorin");
        QVERIFY(QDir().mkpath(folder));
        ProgramInfo::setProgramFolderForTesting(folder);
        writeFile(folder + QStringLiteral("/commands.txt"));
        writeFile(folder + QStringLiteral("/variables.txt"));

        window.mnuViewCommands->trigger();
        window.mnuViewVariables->trigger();
        auto requests = Launcher::takeRequests();
        QCOMPARE(requests.size(), 2);
        QCOMPARE(requests[0].target, folder + QStringLiteral("/commands.txt"));
        QCOMPARE(requests[1].target, folder + QStringLiteral("/variables.txt"));
        QVERIFY(MessageBox::takeShown().isEmpty());

        // Through the real launcher: the desktop receives a file address that leads back to
        // exactly that path, spaces and all.
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
        Launcher::setRecording(false);
        window.mnuViewCommands->trigger();
        Launcher::setRecording(true);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(catcher.urls.size(), 1);
        QVERIFY(catcher.urls[0].isLocalFile());
        QCOMPARE(catcher.urls[0].toLocalFile(), folder + QStringLiteral("/commands.txt"));
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void editorThatCannotStart()
    {
        TestEnv env;
        frmMain window;
        const QString path = env.programFolder() + QStringLiteral("/variables.txt");
        writeFile(path);
        Launcher::setRecording(true, false);
        window.mnuViewVariables->trigger();
        QCOMPARE(Launcher::takeRequests().size(), 1);
        auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, EditorFailedMessage(path));
        QVERIFY(shown[0].text.contains(path));
        QCOMPARE(shown[0].title, QStringLiteral("Vantorin Commands"));
        QCOMPARE(shown[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        // The window goes on: the next choice works once an editor starts.
        Launcher::setRecording(true, true);
        window.mnuViewVariables->trigger();
        QCOMPARE(Launcher::takeRequests().size(), 1);
        QVERIFY(MessageBox::takeShown().isEmpty());
        QVERIFY(window.mnuViewVariables->isEnabled());
    }

    void webPages()
    {
        TestEnv env;
        frmMain window;
        QCOMPARE(window.mnuHelpQuillhavenHome->text(), QStringLiteral("Visit Quillhaven..."));

        const QList<QPair<QAction*, QString>> items = {
            {window.mnuHelpUpdate, QStringLiteral("https://www.quillhaven.example/vantorin/updates.asp?ver=1.30")},
            {window.mnuHelpFeedback, QStringLiteral("https://www.quillhaven.example/vantorin/feedback.asp?from=telmorax")},
            {window.mnuHelpBug, QStringLiteral("https://www.quillhaven.example/bugs/default.asp?from=telmorax")},
            {window.mnuHelpQuillhavenHome, QStringLiteral("https://www.quillhaven.example/default.asp?from=telmorax")},
        };
        for (const auto& item : items) {
            item.first->trigger();
            auto requests = Launcher::takeRequests();
            QCOMPARE(requests.size(), 1);
            QCOMPARE(requests[0].kind, Launcher::Request::OpenUrl);
            QCOMPARE(requests[0].target, item.second);
        }

        // Through the real launcher the browser receives the same addresses.
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
        Launcher::setRecording(false);
        for (const auto& item : items)
            item.first->trigger();
        Launcher::setRecording(true);
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(catcher.urls.size(), items.size());
        for (int i = 0; i < items.size(); ++i)
            QCOMPARE(catcher.urls[i].toString(QUrl::FullyEncoded), items[i].second);

        // No browser: nothing is reported, and the items keep working.
        Launcher::setRecording(true, false);
        for (const auto& item : items)
            item.first->trigger();
        QCOMPARE(Launcher::takeRequests().size(), items.size());
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void versionText()
    {
        QCOMPARE(WebLinks::VersionText(1, 3), QStringLiteral("1.30"));
        QCOMPARE(WebLinks::VersionText(1, 5), QStringLiteral("1.50"));
        QCOMPARE(WebLinks::VersionText(1, 0), QStringLiteral("1.00"));
        QCOMPARE(WebLinks::VersionText(2, 0), QStringLiteral("2.00"));
        QCOMPARE(WebLinks::VersionText(0, 9), QStringLiteral("0.90"));
        QCOMPARE(WebLinks::VersionText(1, 12), QStringLiteral("1.12"));
        QCOMPARE(WebLinks::VersionText(1, 10), QStringLiteral("1.10"));
        QCOMPARE(WebLinks::VersionText(10, 99), QStringLiteral("10.99"));
        // Three digits and more are rounded to hundredths, halves away from zero.
        QCOMPARE(WebLinks::VersionText(1, 123), QStringLiteral("1.12"));
        QCOMPARE(WebLinks::VersionText(1, 125), QStringLiteral("1.13"));
        QCOMPARE(WebLinks::VersionText(1, 1049), QStringLiteral("1.10"));
        QCOMPARE(WebLinks::VersionText(1, 995), QStringLiteral("2.00"));
        QCOMPARE(WebLinks::VersionText(9, 999), QStringLiteral("10.00"));
        // The point stays a point in a locale that writes a comma.
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(WebLinks::VersionText(1, 3), QStringLiteral("1.30"));
        QLocale::setDefault(saved);

        QCOMPARE(WebLinks::UpdateAddress(1, 5), QStringLiteral("https://www.quillhaven.example/vantorin/updates.asp?ver=1.50"));
        QCOMPARE(WebLinks::UpdateAddress(1, 12), QStringLiteral("https://www.quillhaven.example/vantorin/updates.asp?ver=1.12"));
        QCOMPARE(WebLinks::UpdateAddress(), WebLinks::UpdateAddress(ProgramInfo::VersionMajor, ProgramInfo::VersionMinor));
    }

    void referenceListContents_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("commands") << QStringLiteral("commands.txt")
                                  << QStringList{"map", "devmap", "map_restart", "vstr", "kick", "clientkick", "banUser",
                                         "banClient", "addip", "removeip", "listip", "addbot", "status", "serverinfo",
                                         "systeminfo", "dumpuser", "cvarlist", "say", "tell", "exec", "writeconfig",
                                         "set", "seta", "killserver", "heartbeat", "forceteam", "callvote", "quit"};
        QTest::newRow("variables") << QStringLiteral("variables.txt")
                                   << QStringList{"g_gametype", "fraglimit", "timelimit", "capturelimit", "g_password",
                                          "rconpassword", "sv_privatePassword", "sv_privateClients", "g_allowVote",
                                          "bot_minplayers", "bot_enable", "sv_maxclients", "sv_maxRate", "sv_fps",
                                          "sv_hostname", "net_port", "sv_pure", "sv_floodProtect", "g_banIPs",
                                          "g_filterBan", "nextmap", "g_motd", "dedicated", "g_warmup", "g_friendlyFire"};
    }

    void referenceListContents()
    {
        // The lists an admin reads: every name an admin needs to run a match, each on a line of
        // its own followed by an explanation.
        QFETCH(QString, file);
        QFETCH(QStringList, names);
        const QByteArray dir = qgetenv("TELMORAX_SOURCE_DIR");
        if (dir.isEmpty())
            QSKIP("TELMORAX_SOURCE_DIR is not set (run through ctest)");
        QFile f(QString::fromLocal8Bit(dir) + QStringLiteral("/data/") + file);
        QVERIFY(f.open(QIODevice::ReadOnly | QIODevice::Text));
        const QByteArray content = f.readAll();
        QVERIFY(!content.contains('\r'));
        for (char c : content)
            QVERIFY2(c == '\n' || (c >= 0x20 && c < 0x7f), "plain ASCII text");
        const QString text = QString::fromLatin1(content);
        const QRegularExpression anyEntry(QStringLiteral("^\\S[^\\n]*\\s-\\s\\S"), QRegularExpression::MultilineOption);
        int entries = 0;
        for (const QString& line : text.split(QLatin1Char('\n'))) {
            QVERIFY2(line.size() <= 100, qPrintable(QStringLiteral("line too long: ") + line));
            if (anyEntry.match(line).hasMatch())
                ++entries;
        }
        QVERIFY(entries >= 50);
        for (const QString& name : names) {
            const QRegularExpression entry(
                QStringLiteral("^%1(\\s[^\\n]*)?\\s-\\s\\S[^\\n]{8,}$").arg(QRegularExpression::escape(name)),
                QRegularExpression::MultilineOption);
            QVERIFY2(entry.match(text).hasMatch(), qPrintable(name));
        }
    }

    void copyrightNotice()
    {
        TestEnv env;
        frmMain window;
        QCOMPARE(window.Label5->text(), ProgramInfo::Copyright);
        QVERIFY(ProgramInfo::Copyright.contains(QStringLiteral("Quillhaven")));
    }
};

QTEST_MAIN(LinksTest)
#include "tst_links.moc"
