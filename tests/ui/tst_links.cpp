// The View and Help menu items that hand work to the text editor and the web browser.
#include "TestEnv.h"

#include "settings/ProgramInfo.h"
#include "ui/Launcher.h"
#include "ui/MessageBox.h"
#include "ui/WebLinks.h"
#include "ui/frmMain.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

namespace {
void writeFile(const QString& path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("list\n");
}

// Catches what the desktop would be asked to open, through the real launcher.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

// Runs `act` with the real launcher, the desktop's handler for `scheme` replaced by a catcher.
QList<QUrl> throughDesktop(const QString& scheme, const std::function<void()>& act)
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(scheme, &catcher, "open");
    Launcher::setRecording(false);
    act();
    Launcher::setRecording(true);
    QDesktopServices::unsetUrlHandler(scheme);
    return catcher.urls;
}
}

class LinksTest : public QObject {
    Q_OBJECT
private slots:
    void referenceListsPresentAndMissing()
    {
        TestEnv env;
        frmMain window;
        // A program folder whose path holds spaces.
        const QString folder = env.programFolder() + QStringLiteral("/Program Files/Quillhaven Vantorin");
        QVERIFY(QDir().mkpath(folder));
        ProgramInfo::setProgramFolderForTesting(folder);
        const QList<QPair<QAction*, QString>> items = {
            {window.mnuViewCommands, QStringLiteral("Commands.txt")},
            {window.mnuViewVariables, QStringLiteral("Variables.txt")},
        };
        for (const auto& item : items) {
            const QString path = folder + QLatin1Char('/') + item.second.toLower();
            // The existence test is made at each choice.
            auto choose = [&](bool present) {
                item.first->trigger();
                const auto requests = Launcher::takeRequests();
                const auto shown = MessageBox::takeShown();
                QCOMPARE(requests.size(), present ? 1 : 0);
                QCOMPARE(shown.size(), present ? 0 : 1);
                if (present) {
                    // The editor gets exactly the file's full path.
                    QCOMPARE(requests[0].kind, Launcher::Request::OpenFile);
                    QCOMPARE(requests[0].target, path);
                    return;
                }
                QCOMPARE(shown[0].text,
                    item.second + QStringLiteral(" appears to be missing!  Try repairing the application using the original setup files."));
                QCOMPARE(shown[0].title, QStringLiteral("Vantorin Commands"));
                QCOMPARE(shown[0].icon, QMessageBox::Warning);
                QCOMPARE(shown[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
            };
            choose(false);
            QVERIFY(QDir().mkpath(path));  // a folder of that name is not the file
            choose(false);
            QVERIFY(QDir(path).removeRecursively());
            writeFile(path);  // created after those choices: found on the next one
            choose(true);
            QVERIFY(QFile::remove(path));  // deleted again: missing again
            choose(false);
        }

        // Through the real launcher the desktop receives a file address that leads back to
        // exactly that path, spaces and all.
        writeFile(folder + QStringLiteral("/commands.txt"));
        const QList<QUrl> urls = throughDesktop(QStringLiteral("file"), [&] { window.mnuViewCommands->trigger(); });
        QCOMPARE(urls.size(), 1);
        QCOMPARE(urls[0].toLocalFile(), folder + QStringLiteral("/commands.txt"));
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
        QCOMPARE(shown[0].text, QStringLiteral("No text editor could be started to open %1.").arg(path));
        QCOMPARE(shown[0].title, QStringLiteral("Vantorin Commands"));
        QCOMPARE(shown[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        // The window goes on: the next choice works once an editor starts.
        Launcher::setRecording(true, true);
        window.mnuViewVariables->trigger();
        QCOMPARE(Launcher::takeRequests().size(), 1);
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void webPages()
    {
        TestEnv env;
        frmMain window;
        const QList<QPair<QAction*, QString>> items = {
            {window.mnuHelpUpdate, QStringLiteral("https://www.quillhaven.example/vantorin/updates.asp?ver=1.30")},
            {window.mnuHelpFeedback, QStringLiteral("https://www.quillhaven.example/vantorin/feedback.asp?from=telmorax")},
            {window.mnuHelpBug, QStringLiteral("https://www.quillhaven.example/bugs/default.asp?from=telmorax")},
            {window.mnuHelpQuillhavenHome, QStringLiteral("https://www.quillhaven.example/default.asp?from=telmorax")},
        };
        auto triggerAll = [&] {
            for (const auto& item : items)
                item.first->trigger();
        };
        triggerAll();
        const auto requests = Launcher::takeRequests();
        QCOMPARE(requests.size(), items.size());
        for (int i = 0; i < items.size(); ++i) {
            QCOMPARE(requests[i].kind, Launcher::Request::OpenUrl);
            QCOMPARE(requests[i].target, items[i].second);
        }

        // Through the real launcher the browser receives the same addresses.
        const QList<QUrl> urls = throughDesktop(QStringLiteral("https"), triggerAll);
        QCOMPARE(urls.size(), items.size());
        for (int i = 0; i < items.size(); ++i)
            QCOMPARE(urls[i].toString(QUrl::FullyEncoded), items[i].second);

        // No browser: nothing is reported, and the items keep working.
        Launcher::setRecording(true, false);
        triggerAll();
        QCOMPARE(Launcher::takeRequests().size(), items.size());
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void versionText()
    {
        // Hundredths from the minor number; three digits and more are rounded, halves away from zero.
        const QList<std::tuple<int, int, QString>> cases = {{1, 3, "1.30"}, {1, 5, "1.50"}, {1, 0, "1.00"},
            {0, 9, "0.90"}, {1, 12, "1.12"}, {1, 10, "1.10"}, {10, 99, "10.99"}, {1, 123, "1.12"}, {1, 125, "1.13"},
            {1, 1049, "1.10"}, {1, 995, "2.00"}, {9, 999, "10.00"}};
        for (const auto& [major, minor, text] : cases)
            QCOMPARE(WebLinks::VersionText(major, minor), text);
        // The point stays a point in a locale that writes a comma.
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(WebLinks::VersionText(1, 3), QStringLiteral("1.30"));
        QLocale::setDefault(saved);
        QCOMPARE(WebLinks::UpdateAddress(1, 12), QStringLiteral("https://www.quillhaven.example/vantorin/updates.asp?ver=1.12"));
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
        // The lists an admin reads: plain ASCII text, every name an admin needs to run a match,
        // each on a line of its own followed by an explanation.
        QFETCH(QString, file);
        QFETCH(QStringList, names);
        const QByteArray dir = qgetenv("TELMORAX_SOURCE_DIR");
        if (dir.isEmpty())
            QSKIP("TELMORAX_SOURCE_DIR is not set (run through ctest)");
        QFile f(QString::fromLocal8Bit(dir) + QStringLiteral("/data/") + file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray content = f.readAll();
        for (char c : content)
            QVERIFY2(c == '\n' || (c >= 0x20 && c < 0x7f), "plain ASCII text, Unix line ends");
        const QString text = QString::fromLatin1(content);
        const QRegularExpression anyEntry(QStringLiteral("^\\S[^\\n]*\\s-\\s\\S"));
        int entries = 0;
        for (const QString& line : text.split(QLatin1Char('\n'))) {
            QVERIFY2(line.size() <= 100, qPrintable(QStringLiteral("line too long: ") + line));
            entries += anyEntry.match(line).hasMatch() ? 1 : 0;
        }
        QVERIFY(entries >= 50);
        for (const QString& name : names) {
            const QRegularExpression entry(
                QStringLiteral("^%1(\\s[^\\n]*)?\\s-\\s\\S[^\\n]{8,}$").arg(QRegularExpression::escape(name)),
                QRegularExpression::MultilineOption);
            QVERIFY2(entry.match(text).hasMatch(), qPrintable(name));
        }
    }
};

QTEST_MAIN(LinksTest)
#include "tst_links.moc"
