// The About box, its System Info button and the registry value decoding behind it.
#include "TestEnv.h"

#include "settings/ProgramInfo.h"
#include "ui/Launcher.h"
#include "ui/MessageBox.h"
#include "ui/RegistryValue.h"
#include "ui/SysInfo.h"
#include "ui/frmAbout.h"
#include "ui/frmMain.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QMap>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

namespace {
// While a modal box runs, `act` gets the About box that is showing. If that box is still
// open afterwards it is closed (and noted), so that a failing test cannot hang.
struct WhileModal {
    std::function<void(frmAbout*)> act;
    bool ran = false;
    std::shared_ptr<bool> leftOpen = std::make_shared<bool>(false);
    void arm()
    {
        QTimer::singleShot(0, [this] { step(0); });
    }
    void step(int tries)
    {
        auto* about = qobject_cast<frmAbout*>(QApplication::activeModalWidget());
        if (!about) {
            if (tries < 200)
                QTimer::singleShot(10, [this, tries] { step(tries + 1); });
            return;
        }
        ran = true;
        act(about);
        QPointer<frmAbout> box(about);
        QTimer::singleShot(0, [box, flag = leftOpen] {
            if (box && box->isVisible()) {
                *flag = true;
                box->close();
            }
        });
    }
};

void pressKey(QWidget* window, Qt::Key key)
{
    QWidget* target = QApplication::focusWidget();
    if (!target || target->window() != window)
        target = window;
    QTest::keyClick(target, key);
}

void writeExecutable(const QString& path, const QByteArray& script = "#!/bin/sh\nexit 0\n")
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(script);
    f.close();
    QVERIFY(f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

// PATH pointed at one folder for the life of the object.
struct PathOverride {
    QByteArray saved = qgetenv("PATH");
    explicit PathOverride(const QString& folder) { qputenv("PATH", folder.toLocal8Bit()); }
    ~PathOverride() { qputenv("PATH", saved); }
};

// A registry that holds a few string values.
struct FakeRegistry {
    QMap<QString, RegistryValue::Raw> values;  // "key|value"
    QStringList asked;
    FakeRegistry()
    {
        RegistryValue::setReaderForTesting([this](quint32 root, const QString& key, const QString& name, RegistryValue::Raw& out) {
            asked.append(QStringLiteral("%1 %2|%3").arg(root, 0, 16).arg(key, name));
            auto it = values.constFind(key + QLatin1Char('|') + name);
            if (it == values.constEnd())
                return false;
            out = *it;
            return true;
        });
    }
    ~FakeRegistry() { RegistryValue::setReaderForTesting({}); }
    void setString(const QString& key, const QString& name, const QString& text)
    {
        values[key + QLatin1Char('|') + name] = {text.toLatin1() + '\0', RegistryValue::TypeString};
    }
};

const QString InfoKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString LocationKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString Unavailable = QStringLiteral("System Information Is Unavailable At This Time");

void checkUnavailableShown()
{
    auto shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, Unavailable);
    QCOMPARE(shown[0].title, QStringLiteral("telmorax"));
    QCOMPARE(shown[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(shown[0].icon, QMessageBox::NoIcon);
}
}

class AboutTest : public QObject {
    Q_OBJECT
private slots:
    void showTwiceFromHelpEnterAndEsc()
    {
        TestEnv env;
        frmMain window;
        window.show();

        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Enter}) {
            QString title, version;
            bool mainBlocked = false;
            WhileModal modal;
            modal.act = [&](frmAbout* about) {
                title = about->lblTitle->text();
                version = about->lblVersion->text();
                mainBlocked = QApplication::activeModalWidget() == about && !window.isActiveWindow();
                pressKey(about, key);
            };
            modal.arm();
            window.mnuHelpAbout->trigger();  // returns when the box has closed
            QVERIFY(modal.ran);
            QVERIFY(!*modal.leftOpen);
            QCOMPARE(title, QStringLiteral("Quillhaven's Vantorin"));
            QCOMPARE(version, QStringLiteral("[1.3.0]"));
            QVERIFY(mainBlocked);
            QVERIFY(!QApplication::activeModalWidget());
        }
        // Each showing was a box of its own, and none is left behind.
        QApplication::processEvents();
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<frmAbout*>(w) || !w->isVisible());
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void layout()
    {
        TestEnv env;
        frmAbout about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));

        QCOMPARE(about.windowTitle(), QString());
        QCOMPARE(about.size(), QSize(382, 253));
        QCOMPARE(about.minimumSize(), about.maximumSize());
        QVERIFY(!(about.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(about.windowFlags() & Qt::WindowMaximizeButtonHint));

        QVERIFY(about.cmdOK->isDefault());
        QCOMPARE(about.cmdOK->text(), QStringLiteral("OK"));
        QCOMPARE(about.cmdSysInfo->text(), QStringLiteral("&System Info..."));
        QCOMPARE(about.cmdOK->geometry(), QRect(291, 223, 84, 23));
        QCOMPARE(about.cmdSysInfo->geometry(), QRect(200, 224, 83, 23));
        QCOMPARE(QApplication::focusWidget(), about.cmdOK);
        QCOMPARE(about.cmdOK->nextInFocusChain(), about.cmdSysInfo);

        // The banner runs past the right edge; the black panel holds the four lines.
        QCOMPARE(about.Frame1->geometry(), QRect(0, 0, 401, 41));
        QVERIFY(about.Frame1->geometry().right() > about.rect().right());
        QCOMPARE(about.Frame1->palette().color(QPalette::Window), QColor(0, 0, 192));
        QCOMPARE(about.Picture1->geometry(), QRect(7, 48, 369, 169));
        QCOMPARE(about.Picture1->palette().color(QPalette::Window), QColor(0, 0, 0));
        for (QLabel* l : {about.lblTitle, about.lblVersion})
            QCOMPARE(l->parentWidget(), about.Frame1);
        for (QLabel* l : {about.lblDescription, about.Label1, about.Label2, about.Label3})
            QCOMPARE(l->parentWidget(), about.Picture1);

        struct Look {
            QLabel* label;
            double points;
            bool bold;
            QColor colour;
            QRect rect;
        };
        const QColor white(255, 255, 255);
        for (const Look& look : {Look{about.lblTitle, 13.5, true, white, QRect(0, 0, 401, 24)},
                 Look{about.lblVersion, 9.75, false, white, QRect(8, 24, 209, 23)},
                 Look{about.lblDescription, 9.75, false, white, QRect(16, 8, 331, 54)},
                 Look{about.Label1, 8.25, false, white, QRect(8, 152, 355, 22)},
                 Look{about.Label2, 9.75, true, QColor(0, 255, 0), QRect(75, 72, 233, 41)},
                 Look{about.Label3, 9.75, false, white, QRect(16, 120, 331, 22)}}) {
            QCOMPARE(look.label->font().pointSizeF(), look.points);
            QCOMPARE(look.label->font().bold(), look.bold);
            QCOMPARE(look.label->font().families().value(0), QStringLiteral("MS Sans Serif"));
            QCOMPARE(look.label->palette().color(QPalette::WindowText), look.colour);
            QCOMPARE(look.label->geometry(), look.rect);
            QVERIFY(!look.label->autoFillBackground());
        }
        QCOMPARE(about.lblDescription->text(),
            QStringLiteral("Quillhaven's Vantorin allows Quake 3 Arena server admins to administer servers remotely "
                           "without needing the game installed on the client machine."));
        QVERIFY(about.lblDescription->wordWrap());
        QVERIFY(about.Label2->wordWrap());
        QCOMPARE(about.Label1->text(), QStringLiteral("Copyright \u00A9 2026 Quillhaven. All rights reserved."));
        QVERIFY(about.Label2->text().contains(QStringLiteral("www.quillhaven.example")));
        QVERIFY(about.Label3->text().contains(QStringLiteral("support@quillhaven.example")));
        // The one-line labels fit their width.
        for (QLabel* l : {about.Label1, about.Label3, about.lblTitle, about.lblVersion})
            QVERIFY2(QFontMetrics(l->font()).horizontalAdvance(l->text()) <= l->width(), qPrintable(l->objectName()));
    }

    void sysInfoFoundOnPath()
    {
        TestEnv env;
        QTemporaryDir bin;
        writeExecutable(bin.path() + QStringLiteral("/kinfocenter"));
        PathOverride path(bin.path());

        frmAbout about;
        about.show();
        QTest::mouseClick(about.cmdSysInfo, Qt::LeftButton);
        auto requests = Launcher::takeRequests();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests[0].kind, Launcher::Request::StartProgram);
        QCOMPARE(requests[0].target, bin.path() + QStringLiteral("/kinfocenter"));
        QVERIFY(MessageBox::takeShown().isEmpty());
        QVERIFY(about.isVisible());

        // The better tool wins when both are there.
        writeExecutable(bin.path() + QStringLiteral("/hardinfo"));
        about.StartSysInfo();
        requests = Launcher::takeRequests();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests[0].target, bin.path() + QStringLiteral("/hardinfo"));

        // A file without the right to run it is not a program.
        QTemporaryDir plain;
        QFile f(plain.path() + QStringLiteral("/hardinfo"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        PathOverride plainPath(plain.path());
        about.StartSysInfo();
        QVERIFY(Launcher::takeRequests().isEmpty());
        checkUnavailableShown();

        // The real launcher starts it, and the box stays open.
        const QString marker = bin.path() + QStringLiteral("/started");
        writeExecutable(bin.path() + QStringLiteral("/hardinfo"),
            "#!/bin/sh\necho started > '" + marker.toLocal8Bit() + "'\n");
        PathOverride back(bin.path());
        Launcher::setRecording(false);
        about.StartSysInfo();
        Launcher::setRecording(true);
        QTRY_VERIFY(QFile::exists(marker));
        QVERIFY(MessageBox::takeShown().isEmpty());
        QVERIFY(about.isVisible());
    }

    void sysInfoMissingOrFailing()
    {
        TestEnv env;
        QTemporaryDir empty;
        PathOverride path(empty.path());
        QCOMPARE(SysInfo::FindProgram(), QString());

        frmAbout about;
        about.show();
        QTest::mouseClick(about.cmdSysInfo, Qt::LeftButton);
        QVERIFY(Launcher::takeRequests().isEmpty());
        checkUnavailableShown();
        QVERIFY(about.isVisible());

        // Found but it will not start: the same message.
        writeExecutable(empty.path() + QStringLiteral("/i-nex"));
        Launcher::setRecording(true, false);
        about.StartSysInfo();
        QCOMPARE(Launcher::takeRequests().size(), 1);
        checkUnavailableShown();
        QVERIFY(about.isVisible());
    }

    void sysInfoThroughRegistry()
    {
        TestEnv env;
        QTemporaryDir empty;
        PathOverride path(empty.path());
        frmAbout about;

        {
            // The full path of location 1 is started unchanged, without looking for the file.
            FakeRegistry reg;
            reg.setString(InfoKey, QStringLiteral("PATH"), QStringLiteral("/opt/msinfo/bin/msinfo32"));
            about.StartSysInfo();
            auto requests = Launcher::takeRequests();
            QCOMPARE(requests.size(), 1);
            QCOMPARE(requests[0].target, QStringLiteral("/opt/msinfo/bin/msinfo32"));
            QCOMPARE(reg.asked, QStringList{QStringLiteral("80000002 ") + InfoKey + QStringLiteral("|PATH")});
            QVERIFY(MessageBox::takeShown().isEmpty());
        }
        {
            // Location 2 names a folder that holds the tool.
            QTemporaryDir folder;
            writeExecutable(folder.path() + QStringLiteral("/MSINFO32.EXE"));
            FakeRegistry reg;
            reg.setString(LocationKey, QStringLiteral("MSINFO"), folder.path());
            about.StartSysInfo();
            auto requests = Launcher::takeRequests();
            QCOMPARE(requests.size(), 1);
            QCOMPARE(requests[0].target, folder.path() + QStringLiteral("/MSINFO32.EXE"));
            QCOMPARE(reg.asked.size(), 2);
            QVERIFY(reg.asked[1].endsWith(LocationKey + QStringLiteral("|MSINFO")));
            QVERIFY(MessageBox::takeShown().isEmpty());
        }
        {
            // Location 2 names a folder without the tool: the message, even with a desktop tool about.
            QTemporaryDir folder;
            writeExecutable(empty.path() + QStringLiteral("/hardinfo"));
            FakeRegistry reg;
            reg.setString(LocationKey, QStringLiteral("MSINFO"), folder.path());
            about.StartSysInfo();
            QVERIFY(Launcher::takeRequests().isEmpty());
            checkUnavailableShown();
            QVERIFY(QFile::remove(empty.path() + QStringLiteral("/hardinfo")));
        }
        {
            // A value of another type reads as an empty path: nothing to start.
            FakeRegistry reg;
            reg.values[InfoKey + QStringLiteral("|PATH")] = {QByteArray("\x01\x02", 2), 3};
            about.StartSysInfo();
            QVERIFY(Launcher::takeRequests().isEmpty());
            checkUnavailableShown();
        }
    }

    void getKeyValue()
    {
        TestEnv env;
        frmAbout about;
        QString val = QStringLiteral("old");
        // This platform has no registry: nothing is found, and the text is emptied.
        QVERIFY(!about.GetKeyValue(RegistryValue::HKeyLocalMachine, InfoKey, QStringLiteral("PATH"), val));
        QCOMPARE(val, QString());

        FakeRegistry reg;
        reg.setString(InfoKey, QStringLiteral("PATH"), QStringLiteral("C:\\Tools\\msinfo32.exe"));
        reg.values[QStringLiteral("K|other")] = {QByteArray("\x07", 1), 3};
        reg.values[QStringLiteral("K|dword")] = {QByteArray("\x10\x00\x00\x00", 4), RegistryValue::TypeDword};
        QVERIFY(about.GetKeyValue(RegistryValue::HKeyLocalMachine, InfoKey, QStringLiteral("PATH"), val));
        QCOMPARE(val, QStringLiteral("C:\\Tools\\msinfo32.exe"));
        val = QStringLiteral("kept");
        QVERIFY(about.GetKeyValue(RegistryValue::HKeyLocalMachine, QStringLiteral("K"), QStringLiteral("other"), val));
        QCOMPARE(val, QStringLiteral("kept"));
        val.clear();
        QVERIFY(about.GetKeyValue(RegistryValue::HKeyLocalMachine, QStringLiteral("K"), QStringLiteral("dword"), val));
        QCOMPARE(val, QStringLiteral("&h0010"));
        val = QStringLiteral("kept");
        QVERIFY(!about.GetKeyValue(RegistryValue::HKeyLocalMachine, QStringLiteral("K"), QStringLiteral("none"), val));
        QCOMPARE(val, QString());
    }

    void decodeValues()
    {
        using RegistryValue::Decode;
        const quint32 Sz = RegistryValue::TypeString, Dword = RegistryValue::TypeDword;
        // Strings: the terminating zero byte is cut; one stored without it is taken whole.
        QCOMPARE(Decode(QByteArray("C:\\msinfo32.exe\0", 16), Sz, QStringLiteral("x")), QStringLiteral("C:\\msinfo32.exe"));
        QCOMPARE(Decode(QByteArray("C:\\msinfo32.exe"), Sz, QString()), QStringLiteral("C:\\msinfo32.exe"));
        QCOMPARE(Decode(QByteArray("ab\0\0", 4), Sz, QString()), QString::fromLatin1("ab\0", 3));  // only one byte cut
        QCOMPARE(Decode(QByteArray("caf\xe9\0", 5), Sz, QString()), QStringLiteral("caf\u00e9"));  // 8-bit text
        // Empty values.
        QCOMPARE(Decode(QByteArray(), Sz, QStringLiteral("x")), QString());
        QCOMPARE(Decode(QByteArray("\0", 1), Sz, QStringLiteral("x")), QString());
        QCOMPARE(Decode(QByteArray(), Dword, QString()), QStringLiteral("&h"));
        // 32-bit numbers: bytes from last to first, upper case, no leading zero per byte,
        // after what the text already held.
        QCOMPARE(Decode(QByteArray("\x78\x56\x34\x12", 4), Dword, QString()), QStringLiteral("&h12345678"));
        QCOMPARE(Decode(QByteArray("\xef\xcd\xab\x7f", 4), Dword, QString()), QStringLiteral("&h7FABCDEF"));
        QCOMPARE(Decode(QByteArray("\x04\x03\x02\x01", 4), Dword, QString()), QStringLiteral("&h1234"));
        QCOMPARE(Decode(QByteArray("\x78\x56\x34\x12", 4), Dword, QStringLiteral("AB")), QStringLiteral("&hAB12345678"));
        // A top byte of zero is cut like a terminator; zero bytes below it give "0".
        QCOMPARE(Decode(QByteArray("\xef\xcd\xab\x00", 4), Dword, QString()), QStringLiteral("&hABCDEF"));
        QCOMPARE(Decode(QByteArray("\x10\x00\x00\x00", 4), Dword, QString()), QStringLiteral("&h0010"));
        // Any other type leaves the text as it was.
        QCOMPARE(Decode(QByteArray("\x01\x02\x03", 3), 3, QStringLiteral("before")), QStringLiteral("before"));
        QCOMPARE(Decode(QByteArray("a\0b\0\0", 5), 7, QString()), QString());
        QCOMPARE(Decode(QByteArray("%SystemRoot%\0", 13), 2, QStringLiteral("kept")), QStringLiteral("kept"));
    }
};

QTEST_MAIN(AboutTest)
#include "tst_about.moc"
