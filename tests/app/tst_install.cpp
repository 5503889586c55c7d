// Installed as a user installs it: `cmake --install` into a temporary prefix, the program started
// the way the desktop's menu and its actions start it, Tab pressed in a real bash with the
// installed completion; and the Debian package packed from this build tree (as scripts/package.sh
// packs a clean one) and checked with Debian's own tools, without installing it.
#include "TestEnv.h"

#include "cli/CommandLine.h"
#include "console/ServerList.h"

#include <QImage>
#include <QtTest>

namespace {
struct Run {
    bool ok = false;  // started, ended normally, status 0
    QString out;      // standard output and error together
};

Run run(const QString& program, const QStringList& args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    const bool ok = p.waitForFinished(300000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return {ok, QString::fromUtf8(p.readAll())};
}

QString tool(const char* name)
{
    return QStandardPaths::findExecutable(QString::fromLatin1(name));
}

QString sourceDir()
{
    return qEnvironmentVariable("TELMORAX_SOURCE_DIR");
}
}

class InstallTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_prefix;
    const QString m_build = QFileInfo(QCoreApplication::applicationDirPath()).absolutePath();

private slots:
    void initTestCase()
    {
        const Run r = run(tool("cmake"), {"--install", m_build, "--prefix", m_prefix.path()});
        QVERIFY2(r.ok, qPrintable(r.out));
    }

    void startsFromTheMenuEntryAndItsActions()
    {
        // The program in bin, its reference lists in share/telmorax, the icon in every size of
        // the hicolor theme.
        const QString lists = m_prefix.filePath(QStringLiteral("share/telmorax"));
        for (const char* list : {"/commands.txt", "/variables.txt"})
            QCOMPARE(ReadFile(lists + list), ReadFile(sourceDir() + "/data" + list));
        for (int size : {16, 32, 48, 64, 128, 256})
            QCOMPARE(QImage(m_prefix.filePath(QStringLiteral("share/icons/hicolor/%1x%1/apps/telmorax.png").arg(size))).size(), QSize(size, size));

        // The desktop entry, accepted by the desktop's own checker, names the installed program,
        // in its own launch and in its actions.
        const QString desktop = m_prefix.filePath(QStringLiteral("share/applications/telmorax.desktop"));
        const Run valid = run(tool("desktop-file-validate"), {desktop});
        QVERIFY2(valid.ok && valid.out.isEmpty(), qPrintable(valid.out));
        const QString entry = QString::fromUtf8(ReadFile(desktop));
        QVERIFY(entry.contains(QStringLiteral("\nName=Quillhaven's Vantorin\n")) && entry.contains(QStringLiteral("\nIcon=telmorax\n")));
        QMap<QString, QString> execs;  // section -> Exec line
        QString section;
        for (const QString& line : entry.split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1Char('[')))
                section = line;
            else if (line.startsWith(QStringLiteral("Exec=")))
                execs[section] = line.mid(5);
        }
        const QString program = QStringLiteral("\"%1\"").arg(m_prefix.filePath(QStringLiteral("bin/telmorax")));
        const QMap<QString, QString> windows = {{QStringLiteral("[Desktop Entry]"), QStringLiteral("frmMain")},
            {QStringLiteral("[Desktop Action servers]"), QStringLiteral("frmMain,frmServers")},
            {QStringLiteral("[Desktop Action players]"), QStringLiteral("frmMain,frmPlayers")}};
        QCOMPARE(execs.keys(), windows.keys());

        // Started as the menu starts it: the windows come up, and the folder where the program
        // looks for its reference lists is the one they were installed in.
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TELMORAX_EXIT_WHEN_IDLE"), QStringLiteral("1"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        for (auto e = execs.cbegin(); e != execs.cend(); ++e) {
            QVERIFY2(e.value().startsWith(program + QLatin1Char(' ')) || e.value() == program, qPrintable(e.value()));
            QStringList args = QProcess::splitCommand(e.value());
            const Run r = run(args.takeFirst(), args, env);
            const QRegularExpressionMatch idle = QRegularExpression(QStringLiteral("idle elapsed_ms=\\d+ rss_kb=\\d+ windows=(\\S*) dir=(.*)\n")).match(r.out);
            QVERIFY2(r.ok && idle.captured(1) == windows[e.key()] && idle.captured(2) == lists, qPrintable(e.key() + r.out));
        }
    }

    void completesInBash()
    {
        const QString library = QStringLiteral("/usr/share/bash-completion/bash_completion");
        if (!QFileInfo::exists(library))
            QSKIP("bash-completion is not installed (scripts/deps.sh installs it)");
        // Two groups of saved servers, one with a space in its name.
        TestEnv env;
        QVERIFY(SaveServerList({{QStringLiteral("A"), QStringLiteral("127.0.0.1"), 1, QStringLiteral("Fleet")},
            {QStringLiteral("B"), QStringLiteral("127.0.0.1"), 2, QStringLiteral("ctf games")},
            {QStringLiteral("C"), QStringLiteral("127.0.0.1"), 3, QStringLiteral("Fleet")}}));
        QTemporaryDir files;
        for (const char* name : {"rcon.log", "rcon.pw"})
            QVERIFY(QFile(files.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly));

        // What Tab offers after the words typed (the last one being completed), the installed
        // program first on PATH. Outside a real Tab press, compopt (which only sets how bash shows
        // the offer) has nothing to act on.
        const auto complete = [&](const QStringList& words) {
            QProcessEnvironment shell = QProcessEnvironment::systemEnvironment();
            shell.insert(QStringLiteral("PATH"), m_prefix.filePath(QStringLiteral("bin:")) + shell.value(QStringLiteral("PATH")));
            const QString script = QStringLiteral(
                "source %1 && source %2 && cd %3 && compopt() { :; } && COMP_WORDS=(\"$@\") && COMP_CWORD=$(($# - 1)) && COMP_LINE=\"$*\" "
                "&& COMP_POINT=${#COMP_LINE} && _telmorax \"$1\" \"${COMP_WORDS[-1]}\" \"${COMP_WORDS[-2]}\"; "
                "printf '%s\\n' \"${COMPREPLY[@]}\"")
                .arg(library, m_prefix.filePath(QStringLiteral("share/bash-completion/completions/telmorax")), files.path());
            const Run r = run(tool("bash"), QStringList{QStringLiteral("--norc"), QStringLiteral("-c"), script, QStringLiteral("bash")} + words, shell);
            QStringList offered = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            offered.sort();
            return r.ok ? offered : QStringList{QStringLiteral("failed: ") + r.out};
        };
        QCOMPARE(complete({"telmorax", "--gr"}), QStringList{"--group"});
        QCOMPARE(complete({"telmorax", "--w"}), (QStringList{"--wait", "--window"}));
        QCOMPARE(complete({"telmorax", "--send", "status", "--group", ""}), (QStringList{"Fleet", "ctf\\ games"}));
        QCOMPARE(complete({"telmorax", "--send", "status", "--group", "c"}), QStringList{"ctf\\ games"});
        QCOMPARE(complete({"telmorax", "--colour", "a"}), (QStringList{"always", "auto"}));
        QCOMPARE(complete({"telmorax", "--window", "p"}), QStringList{"players"});
        QCOMPARE(complete({"telmorax", "--log", "rcon.l"}), QStringList{"rcon.log"});
        QCOMPARE(complete({"telmorax", "--password-file", ""}), (QStringList{"rcon.log", "rcon.pw"}));
    }

    void packagesForDebian()
    {
        for (const char* needed : {"cpack", "dpkg-deb", "dpkg-shlibdeps", "lintian", "appstreamcli", "man"}) {
            if (tool(needed).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 is not installed (scripts/deps.sh installs it)").arg(QLatin1String(needed))));
        }
        QTemporaryDir out;
        Run r = run(tool("cpack"), {"--config", m_build + "/CPackConfig.cmake", "-B", out.path()});
        const QString version = VersionText().section(QLatin1Char(' '), 1);  // "1.3.0"
        const QStringList debs = QDir(out.path()).entryList({QStringLiteral("telmorax_%1_*.deb").arg(version)});
        QVERIFY2(r.ok && debs.size() == 1, qPrintable(r.out));
        const QString deb = out.filePath(debs.first());

        // Every file where Debian looks for it, owned by root, and nothing else.
        r = run(tool("dpkg-deb"), {"--contents", deb});
        QVERIFY2(r.ok, qPrintable(r.out));
        QStringList files;
        for (const QString& line : r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            QVERIFY2(line.contains(QStringLiteral(" root/root ")), qPrintable(line));
            if (!line.startsWith(QLatin1Char('d')))
                files << line.section(QStringLiteral(" ./"), 1).section(QLatin1Char(' '), 0, 0);
        }
        files.sort();
        QStringList expected = {"usr/bin/telmorax", "usr/share/telmorax/commands.txt", "usr/share/telmorax/variables.txt",
            "usr/share/applications/telmorax.desktop", "usr/share/icons/hicolor/scalable/apps/telmorax.svg",
            "usr/share/man/man1/telmorax.1.gz", "usr/share/bash-completion/completions/telmorax",
            "usr/share/zsh/vendor-completions/_telmorax", "usr/share/metainfo/example.quillhaven.telmorax.metainfo.xml",
            "usr/share/doc/telmorax/copyright", "usr/share/doc/telmorax/changelog.gz", "usr/share/lintian/overrides/telmorax"};
        for (int size : {16, 32, 48, 64, 128, 256})
            expected << QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/telmorax.png").arg(size);
        expected.sort();
        QCOMPARE(files, expected);

        // Its dependencies: the libraries it links, and what is loaded at run time.
        r = run(tool("dpkg-deb"), {"--field", deb, "Depends", "Recommends"});
        for (const char* relation : {"libqt6widgets6 (", "libqt6keychain1 (", "libsecret-1-0", "qt6-qpa-plugins",
                 "Recommends: gnome-keyring | kwalletmanager | keepassxc"})
            QVERIFY2(r.ok && r.out.contains(QLatin1String(relation)), qPrintable(r.out));

        // Debian's checker: no error and no warning.
        r = run(tool("lintian"), {"--fail-on", "error,warning", deb});
        QVERIFY2(r.ok, qPrintable(r.out));

        // The files themselves, unpacked.
        QTemporaryDir root;
        QVERIFY(run(tool("dpkg-deb"), {"--extract", deb, root.path()}).ok);
        const QString share = root.filePath(QStringLiteral("usr/share/"));
        r = run(tool("appstreamcli"), {"validate", "--no-net", share + "metainfo/example.quillhaven.telmorax.metainfo.xml"});
        QVERIFY2(r.ok, qPrintable(r.out));
        r = run(tool("desktop-file-validate"), {share + "applications/telmorax.desktop"});
        QVERIFY2(r.ok && r.out.isEmpty(), qPrintable(r.out));
        // It names the desktop entry, its screenshots are those of the repository, and its newest
        // release is this version.
        const QString metainfo = QString::fromUtf8(ReadFile(share + "metainfo/example.quillhaven.telmorax.metainfo.xml"));
        QRegularExpressionMatchIterator images = QRegularExpression(QStringLiteral("<image>[^<]*/telmorax/(docs/[^<]+)</image>")).globalMatch(metainfo);
        int shots = 0;
        for (; images.hasNext(); ++shots)
            QVERIFY2(QFileInfo::exists(sourceDir() + QLatin1Char('/') + images.next().captured(1)), qPrintable(metainfo));
        QCOMPARE(shots, metainfo.count(QStringLiteral("</screenshot>")));
        QVERIFY2(metainfo.contains(QStringLiteral("<releases>\n    <release version=\"%1\"").arg(version)), qPrintable(metainfo));
        QVERIFY2(metainfo.contains(QStringLiteral("<launchable type=\"desktop-id\">telmorax.desktop</launchable>")), qPrintable(metainfo));

        // The manual page renders without a warning and names every option that --help lists.
        QProcess man;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
        man.setProcessEnvironment(env);
        man.start(tool("man"), {"--warnings", "-P", "cat", "-l", share + "man/man1/telmorax.1.gz"});
        QVERIFY(man.waitForFinished() && man.exitCode() == 0);
        QCOMPARE(QString::fromUtf8(man.readAllStandardError()), QString());
        const QString manual = QString::fromUtf8(man.readAllStandardOutput());
        QVERIFY2(manual.contains(QStringLiteral("\nEXIT STATUS\n")), qPrintable(manual));
        r = run(root.filePath(QStringLiteral("usr/bin/telmorax")), {"--help"});
        const QString options = r.out.section(QStringLiteral("\nOptions:\n"), 1).section(QStringLiteral("\n\n"), 0, 0);
        QRegularExpressionMatchIterator listed = QRegularExpression(QStringLiteral("^  (-[^<\n]*?)(?: <\\w+>)?  "), QRegularExpression::MultilineOption).globalMatch(options);
        QStringList names;
        while (listed.hasNext())
            names << listed.next().captured(1).split(QStringLiteral(", "));
        QVERIFY2(r.ok && names.size() >= 12 && names.contains(QStringLiteral("--window")), qPrintable(names.join(' ')));
        for (const QString& name : names)
            QVERIFY2(manual.contains(QRegularExpression(QStringLiteral("[\\s,\\[{|]%1(?![\\w-])").arg(QRegularExpression::escape(name)))), qPrintable(name));
    }
};

QTEST_MAIN(InstallTest)
#include "tst_install.moc"
