// Installing into a temporary prefix, as `cmake --install` does for a user, and starting the
// installed program the way the desktop's menu does.
#include "TestEnv.h"

#include <QImage>
#include <QtTest>

namespace {
// Runs a program to its end; its output when it failed.
QString run(const QString& program, const QStringList& args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    const bool done = p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return (done ? QString() : QStringLiteral("failed: ")) + QString::fromLocal8Bit(p.readAll());
}
}

class InstallTest : public QObject {
    Q_OBJECT
private slots:
    void installsAndStartsFromTheMenuEntry()
    {
        const QString build = QFileInfo(QCoreApplication::applicationDirPath()).absolutePath();
        QTemporaryDir prefix;
        QString out = run(QStandardPaths::findExecutable(QStringLiteral("cmake")), {"--install", build, "--prefix", prefix.path()});
        QVERIFY2(!out.startsWith(QStringLiteral("failed")), qPrintable(out));

        // The program and its reference lists in a folder of their own, a relative link in bin,
        // the icon in every size of the hicolor theme.
        const QString home = prefix.path() + QStringLiteral("/lib/telmorax");
        for (const char* list : {"/commands.txt", "/variables.txt"})
            QCOMPARE(ReadFile(home + list), ReadFile(qEnvironmentVariable("TELMORAX_SOURCE_DIR") + "/data" + list));
        QCOMPARE(QFile::symLinkTarget(prefix.path() + QStringLiteral("/bin/telmorax")), home + QStringLiteral("/telmorax"));
        for (int size : {16, 32, 48, 64, 128, 256})
            QCOMPARE(QImage(prefix.path() + QStringLiteral("/share/icons/hicolor/%1x%1/apps/telmorax.png").arg(size)).size(), QSize(size, size));

        // The desktop entry, accepted by the desktop's own checker, names the installed link.
        const QString desktop = prefix.path() + QStringLiteral("/share/applications/telmorax.desktop");
        out = run(QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")), {desktop});
        QVERIFY2(out.isEmpty(), qPrintable(out));
        const QString entry = QString::fromUtf8(ReadFile(desktop));
        QVERIFY(entry.contains(QStringLiteral("\nName=Quillhaven's Vantorin\n")) && entry.contains(QStringLiteral("\nIcon=telmorax\n")));
        const QString exec = QRegularExpression(QStringLiteral("\nExec=\"([^\"]+)\"\n")).match(entry).captured(1);
        QCOMPARE(exec, prefix.path() + QStringLiteral("/bin/telmorax"));

        // Started as the menu starts it: the window comes up, and the program's folder (where it
        // looks for the reference lists) is the folder they were installed in.
        QTemporaryDir config;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TELMORAX_EXIT_WHEN_IDLE"), QStringLiteral("1"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        out = run(exec, {}, env);
        QVERIFY2(QRegularExpression(QStringLiteral("idle elapsed_ms=\\d+ rss_kb=\\d+ dir=(.*)\n")).match(out).captured(1) == home,
            qPrintable(out));
    }
};

QTEST_MAIN(InstallTest)
#include "tst_install.moc"
