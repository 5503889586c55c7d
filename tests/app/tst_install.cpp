// Installing into a temporary prefix, as `cmake --install` does for a user, and starting the
// installed program the way the desktop's menu does.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
}

class InstallTest : public QObject {
    Q_OBJECT
private slots:
    void installsAndStartsFromTheMenuEntry()
    {
        const QString buildDir = QFileInfo(QCoreApplication::applicationDirPath()).absolutePath();
        const QString sourceDir = qEnvironmentVariable("TELMORAX_SOURCE_DIR");
        QVERIFY2(QFileInfo::exists(buildDir + QStringLiteral("/bin/telmorax")), "build the telmorax target first");
        const QString cmake = QStandardPaths::findExecutable(QStringLiteral("cmake"));
        QVERIFY(!cmake.isEmpty());

        QTemporaryDir prefixDir;
        const QString prefix = prefixDir.path();
        QProcess install;
        install.start(cmake, {QStringLiteral("--install"), buildDir, QStringLiteral("--prefix"), prefix});
        QVERIFY(install.waitForFinished(120000));
        QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());

        // The program and its reference lists together, in a folder of their own.
        const QString home = prefix + QStringLiteral("/lib/telmorax");
        QVERIFY(QFileInfo(home + QStringLiteral("/telmorax")).isExecutable());
        for (const QString& name : {QStringLiteral("commands.txt"), QStringLiteral("variables.txt")})
            QCOMPARE(readAll(home + QLatin1Char('/') + name), readAll(sourceDir + QStringLiteral("/data/") + name));

        // bin/telmorax: a relative link, so the installed tree can be moved as a whole.
        const QFileInfo link(prefix + QStringLiteral("/bin/telmorax"));
        QVERIFY(link.isSymLink());
        QCOMPARE(QFile::symLinkTarget(link.filePath()), QFileInfo(home + QStringLiteral("/telmorax")).canonicalFilePath());

        // The icon in every size of the hicolor theme, each image of the size its folder says.
        for (int size : {16, 32, 48, 64, 128, 256}) {
            const QImage image(prefix + QStringLiteral("/share/icons/hicolor/%1x%1/apps/telmorax.png").arg(size));
            QCOMPARE(image.size(), QSize(size, size));
        }
        QVERIFY(readAll(prefix + QStringLiteral("/share/icons/hicolor/scalable/apps/telmorax.svg")).contains("<svg"));

        // The desktop entry: name, icon, and a command line naming the installed launcher.
        const QString desktop = prefix + QStringLiteral("/share/applications/telmorax.desktop");
        const QString entry = QString::fromUtf8(readAll(desktop));
        QVERIFY(entry.startsWith(QStringLiteral("[Desktop Entry]\n")));
        QVERIFY(entry.contains(QStringLiteral("\nName=Quillhaven's Vantorin\n")));
        QVERIFY(entry.contains(QStringLiteral("\nIcon=telmorax\n")));
        QVERIFY(entry.contains(QStringLiteral("\nType=Application\n")));
        const QRegularExpressionMatch exec = QRegularExpression(QStringLiteral("\nExec=\"([^\"]+)\"\n")).match(entry);
        QVERIFY(exec.hasMatch());
        QCOMPARE(exec.captured(1), link.filePath());
        // The desktop's own checker (desktop-file-utils, installed by scripts/deps.sh) accepts it.
        const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        QVERIFY2(!validator.isEmpty(), "desktop-file-validate is missing: scripts/deps.sh installs it");
        QProcess validate;
        validate.start(validator, {desktop});
        QVERIFY(validate.waitForFinished(30000));
        QVERIFY2(validate.exitCode() == 0, validate.readAll().constData());

        // Started as the menu starts it: the window comes up, and the program's folder (where it
        // looks for the reference lists) is the folder they were installed in.
        QTemporaryDir config;
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TELMORAX_EXIT_WHEN_IDLE"), QStringLiteral("1"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(config.path());
        program.start(exec.captured(1), {});
        QVERIFY(program.waitForFinished(60000));
        const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
        const QRegularExpressionMatch idle = QRegularExpression(QStringLiteral("idle elapsed_ms=\\d+ rss_kb=\\d+ dir=(.*)\n")).match(out);
        QVERIFY2(idle.hasMatch(), qPrintable(out + QString::fromLocal8Bit(program.readAllStandardError())));
        QCOMPARE(idle.captured(1), QFileInfo(home).canonicalFilePath());
        QCOMPARE(program.exitCode(), 0);
    }
};

QTEST_MAIN(InstallTest)
#include "tst_install.moc"
