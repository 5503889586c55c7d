// The settings store against real INI files in a temporary XDG config folder.
#include "SettingsTestTools.h"
#include "TestEnv.h"

#include "settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <sys/stat.h>

using namespace SettingsTest;

namespace {
const QString App = QStringLiteral("Quillhaven");
const QString Section = QStringLiteral("telmorax\\Settings");

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}
}

class StoreTest : public QObject {
    Q_OBJECT
private slots:
    void absentKeysGiveTheDefaultEmptyOnesDoNot()
    {
        TestEnv env;
        QVERIFY(!QFile::exists(env.settingsFile()));
        QCOMPARE(GetSetting(App, Section, Key::ServerPort, Default::ServerPort), QStringLiteral("27960"));
        QVERIFY2(!QFile::exists(env.settingsFile()), "reading must not create the file");

        QVERIFY(SaveSetting(App, Section, Key::ServerPort, QString()));
        QVERIFY(SaveSetting(App, Section, Key::ServerAddr, QStringLiteral("a.example")));
        QVERIFY(SaveSetting(App, QStringLiteral("telmorax\\QueryServer"), Key::ServerAddr, QStringLiteral("other")));
        rereadFromDisk(env);
        QCOMPARE(GetSetting(App, Section, Key::ServerPort, Default::ServerPort), QString());
        QCOMPARE(GetSetting(App, Section, Key::ServerAddr, QStringLiteral("x")), QStringLiteral("a.example"));
        QCOMPARE(GetSetting(App, QStringLiteral("telmorax\\QueryServer"), Key::ServerAddr), QStringLiteral("other"));
        QCOMPARE(GetSetting(App, Section, Key::Password, QStringLiteral("dflt")), QStringLiteral("dflt"));

        // The file and its layout: the application's own file, the sections nested as groups.
        QCOMPARE(env.settingsFile(), env.configHome() + QStringLiteral("/Quillhaven/Quillhaven.ini"));
        const QByteArray text = fileBytes(env.settingsFile());
        QVERIFY2(text.contains("[telmorax]"), text.constData());
        QVERIFY2(text.contains("Settings\\ServerAddr=a.example"), text.constData());
        QVERIFY2(text.contains("QueryServer\\ServerAddr=other"), text.constData());

        // Only that one file counts: a file of the maker's other programs, or one for all
        // users, never lends its values.
        writeFile(env.configHome() + QStringLiteral("/Quillhaven.ini"),
            "[telmorax]\nSettings\\Password=from-elsewhere\nSettings\\ServerPort=1\n");
        rereadFromDisk(env);
        QCOMPARE(GetSetting(App, Section, Key::Password, QStringLiteral("dflt")), QStringLiteral("dflt"));
        QCOMPARE(GetSetting(App, Section, Key::ServerPort, Default::ServerPort), QString());
    }

    void everyValueComesBackExactly()
    {
        TestEnv env;
        const QStringList values = {QStringLiteral("  two spaces each side  "), QStringLiteral("\"quoted\""),
            QStringLiteral("\\\\host\\share\\"), QStringLiteral("a=b==c"), QStringLiteral(";semi;colon"),
            QStringLiteral("#hash"), QStringLiteral("@Invalid()"), QStringLiteral("@ByteArray(abc)"), QStringLiteral("a, b ,c"),
            QStringLiteral(","), QStringLiteral("Grüße, Ærøskøbing, Ελλάδα, 日本"), QStringLiteral("tab\there"),
            QStringLiteral("line\nbreak"), QStringLiteral("[section]"), QStringLiteral("p@ss w0rd; \"=\\,#  ")};
        for (int i = 0; i < values.size(); ++i)
            QVERIFY(SaveSetting(App, Section, QStringLiteral("V%1").arg(i), values[i]));
        rereadFromDisk(env);
        for (int i = 0; i < values.size(); ++i)
            QCOMPARE(GetSetting(App, Section, QStringLiteral("V%1").arg(i), QStringLiteral("<default>")), values[i]);

        // A file edited by hand may hold an unquoted list, which reads as one text again.
        writeFile(env.settingsFile(), "[telmorax]\nSettings\\L=a,b,c\nSettings\\U=\xC3\xA4\xC3\xB6\n");
        rereadFromDisk(env);
        QCOMPARE(GetSetting(App, Section, QStringLiteral("L")), QStringLiteral("a,b,c"));
        QCOMPARE(GetSetting(App, Section, QStringLiteral("U")), QStringLiteral("äö"));
    }

    void checkBoxValuesAsText()
    {
        const std::optional<int> none;
        const QList<QPair<QString, std::optional<int>>> cases = {{"0", 0}, {"2", 2}, {" 1\t", 1}, {"+2", 2}, {"-0", 0},
            {"-1", -1}, {"3", 3}, {"32767", 32767}, {"-32768", -32768}, {"32768", none}, {"99999999999999999999", none},
            {"yes", none}, {"", none}, {"  ", none}, {"-", none}, {"1.0", none}, {"1,5", none}, {"0x1", none},
            {"1a", none}, {QString::fromUtf8("\xEF\xBC\x91"), none}};  // the last: a full-width digit
        for (const auto& [text, value] : cases)
            QVERIFY2(CheckBoxFromText(text) == value, qPrintable(QLatin1Char('[') + text + QLatin1Char(']')));
        for (int v : {0, 1, 2})
            QCOMPARE(CheckBoxFromText(CheckBoxText(v)), std::optional<int>(v));
    }

    void theFileIsPrivateWhateverTheUmask()
    {
        for (mode_t mask : {mode_t(0), mode_t(022), mode_t(0277)}) {
            TestEnv env;
            const mode_t old = ::umask(mask);
            const bool saved = SaveSetting(App, Section, Key::Password, QStringLiteral("secret"));
            const int fileMode = modeOf(env.settingsFile());
            const int folderMode = modeOf(env.configHome() + QStringLiteral("/Quillhaven"));
            // Someone opens the file up; the next save closes it again.
            ::chmod(QFile::encodeName(env.settingsFile()).constData(), 0666);
            const bool savedAgain = SaveSetting(App, Section, Key::ServerAddr, QStringLiteral("x"));
            const int modeAfter = modeOf(env.settingsFile());
            ::umask(old);
            const QByteArray which = "umask " + QByteArray::number(mask, 8);
            QVERIFY2(saved && savedAgain, which);
            QVERIFY2(fileMode == 0600, which + " file " + QByteArray::number(fileMode, 8));
            QVERIFY2(folderMode == 0700, which + " folder " + QByteArray::number(folderMode, 8));
            QVERIFY2(modeAfter == 0600, which + " after " + QByteArray::number(modeAfter, 8));
            rereadFromDisk(env);
            QCOMPARE(GetSetting(App, Section, Key::Password), QStringLiteral("secret"));
        }

        // A config folder that does not exist yet is made, private at every level.
        TestEnv env;
        const QString deep = env.configHome() + QStringLiteral("/new/config");
        useConfigFolder(deep);
        const mode_t old = ::umask(0);
        const bool saved = SaveSetting(App, Section, Key::ServerAddr, QStringLiteral("y"));
        ::umask(old);
        QVERIFY(saved);
        QCOMPARE(modeOf(env.configHome() + QStringLiteral("/new")), 0700);
        QCOMPARE(modeOf(deep), 0700);
        QCOMPARE(modeOf(deep + QStringLiteral("/Quillhaven")), 0700);
        QCOMPARE(modeOf(deep + QStringLiteral("/Quillhaven/Quillhaven.ini")), 0600);
        QCOMPARE(GetSetting(App, Section, Key::ServerAddr), QStringLiteral("y"));
    }

    void aStoreInTheWayIsNeitherReadNorHarmed()
    {
        // A folder where the file should be, then a file where the folder should be.
        for (bool folderInTheWay : {true, false}) {
            TestEnv env;
            const QString folder = env.configHome() + QStringLiteral("/Quillhaven");
            if (folderInTheWay)
                QVERIFY(QDir().mkpath(env.settingsFile()));
            else
                writeFile(folder, "not a folder");
            QCOMPARE(GetSetting(App, Section, Key::TimeInterval, Default::TimeInterval), QStringLiteral("Minutes"));
            QVERIFY(!SaveSetting(App, Section, Key::TimeInterval, QStringLiteral("Seconds")));
            QCOMPARE(GetSetting(App, Section, Key::TimeInterval, Default::TimeInterval), QStringLiteral("Minutes"));
            QVERIFY(folderInTheWay ? QFileInfo(env.settingsFile()).isDir() : fileBytes(folder) == "not a folder");
        }
    }

    void anotherUsersFileIsNeitherReadNorChanged()
    {
        TestEnv env;
        QVERIFY(SaveSetting(App, Section, Key::Password, QStringLiteral("root's secret")));
        openToOthers(env.configHome());
        openToOthers(env.configHome() + QStringLiteral("/Quillhaven"));
        const QByteArray before = fileBytes(env.settingsFile());

        // Not readable (it stays 0600): the defaults, and a save is refused.
        rereadFromDisk(env);
        QString report = runInChild(Limit::Unprivileged, [] {
            Report r;
            r.check(GetSetting(App, Section, Key::Password, QStringLiteral("dflt")) == QStringLiteral("dflt"), "read");
            r.check(!SaveSetting(App, Section, Key::Password, QStringLiteral("mine")), "save refused");
            r.check(!SaveSetting(App, Section, Key::ServerAddr, QStringLiteral("mine")), "second save refused");
            return r.text();
        });
        QVERIFY2(report.isEmpty(), qPrintable(report));
        QCOMPARE(fileBytes(env.settingsFile()), before);
        QCOMPARE(modeOf(env.settingsFile()), 0600);

        // (Readable but not writable: see the history test, whose clearing is refused.)
    }

    void aFullDiskLosesOnlyTheNewValue()
    {
        TestEnv env;
        QVERIFY(SaveSetting(App, Section, Key::ServerAddr, QStringLiteral("kept.example")));
        QVERIFY(SaveSetting(App, Section, Key::ServerPort, QStringLiteral("27961")));
        const QByteArray before = fileBytes(env.settingsFile());
        const QString later = freshAlias(env);
        const QString report = runInChild(Limit::TinyFiles, [later] {
            Report r;
            r.check(!SaveSetting(App, Section, Key::ServerAddr, QStringLiteral("new.example")), "save refused");
            r.check(!SaveSetting(App, Section, Key::Password, QStringLiteral("pw")), "second save refused");
            // What is on the disk is still the whole file as it was.
            useConfigFolder(later);
            r.check(GetSetting(App, Section, Key::ServerAddr) == QStringLiteral("kept.example"), "old value kept");
            r.check(GetSetting(App, Section, Key::ServerPort) == QStringLiteral("27961"), "other value kept");
            return r.text();
        });
        QVERIFY2(report.isEmpty(), qPrintable(report));
        QCOMPARE(fileBytes(env.settingsFile()), before);
        QCOMPARE(QDir(env.configHome() + QStringLiteral("/Quillhaven")).entryList(QDir::Files | QDir::Hidden),
            QStringList{QStringLiteral("Quillhaven.ini")});
    }
};

QTEST_GUILESS_MAIN(StoreTest)
#include "tst_store.moc"
