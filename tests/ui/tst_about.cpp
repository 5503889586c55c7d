// The About box, its System Info button and the registry value decoding behind it.
#include "TestEnv.h"

#include "ui/Launcher.h"
#include "ui/MessageBox.h"
#include "ui/RegistryValue.h"
#include "ui/frmAbout.h"
#include "ui/frmMain.h"

#include <QAction>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QtTest>

namespace {
const QString InfoKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString LocationKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");

// Help, About; while the modal box runs, `act` gets it. A box still open a moment later is
// closed, so that a failing test cannot hang; the result says whether `act` ran and the box
// closed by itself.
bool whileAboutShows(frmMain& window, const std::function<void(frmAbout*)>& act)
{
    bool ran = false, leftOpen = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* about = qobject_cast<frmAbout*>(QApplication::activeModalWidget());
        if (about && ran) {
            leftOpen = true;
            about->close();
        } else if (about) {
            ran = true;
            act(about);
        }
    });
    poll.start(20);
    window.mnuHelpAbout->trigger();  // returns when the box has closed
    return ran && !leftOpen;
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

// A registry that holds a few values, and notes what was asked of it.
struct FakeRegistry {
    QMap<QString, RegistryValue::Raw> values;  // "key|value"
    QStringList asked;
    FakeRegistry()
    {
        RegistryValue::setReaderForTesting([this](quint32 root, const QString& key, const QString& name, RegistryValue::Raw& out) {
            asked.append(QStringLiteral("%1 %2|%3").arg(root, 0, 16).arg(key, name));
            auto it = values.constFind(key + QLatin1Char('|') + name);
            if (it != values.constEnd())
                out = *it;
            return it != values.constEnd();
        });
    }
    ~FakeRegistry() { RegistryValue::setReaderForTesting({}); }
    void setString(const QString& key, const QString& name, const QString& text)
    {
        values[key + QLatin1Char('|') + name] = {text.toLatin1() + '\0', RegistryValue::TypeString};
    }
};

// Presses System Info and checks what it did: the program started (empty for none) and
// whether the "unavailable" message was shown, exactly as it must be. The box stays open.
void expectStart(frmAbout& about, const QString& program, bool unavailable)
{
    QTest::mouseClick(about.cmdSysInfo, Qt::LeftButton);
    const auto requests = Launcher::takeRequests();
    QCOMPARE(requests.size(), program.isEmpty() ? 0 : 1);
    if (!program.isEmpty()) {
        QCOMPARE(requests[0].kind, Launcher::Request::StartProgram);
        QCOMPARE(requests[0].target, program);
    }
    const auto shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), unavailable ? 1 : 0);
    if (unavailable) {
        QCOMPARE(shown[0].text, QStringLiteral("System Information Is Unavailable At This Time"));
        QCOMPARE(shown[0].title, QStringLiteral("telmorax"));
        QCOMPARE(shown[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(shown[0].icon, QMessageBox::NoIcon);
    }
    QVERIFY(about.isVisible());
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
        // A fresh box at each showing, modal over the window; Enter and Esc close it.
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Enter}) {
            QString title, version;
            bool mainBlocked = false;
            QVERIFY(whileAboutShows(window, [&](frmAbout* about) {
                title = about->lblTitle->text();
                version = about->lblVersion->text();
                mainBlocked = !window.isActiveWindow();
                QWidget* target = QApplication::focusWidget();
                QTest::keyClick(target && target->window() == about ? target : about, key);
            }));
            QCOMPARE(title, QStringLiteral("Quillhaven's Vantorin"));
            QCOMPARE(version, QStringLiteral("[1.3.0]"));
            QVERIFY(mainBlocked);
            QVERIFY(!QApplication::activeModalWidget());
        }
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
        QVERIFY(!(about.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));

        QVERIFY(about.cmdOK->isDefault());
        QCOMPARE(about.cmdOK->text(), QStringLiteral("OK"));
        QCOMPARE(about.cmdSysInfo->text(), QStringLiteral("&System Info..."));
        QCOMPARE(about.cmdOK->geometry(), QRect(291, 223, 84, 23));
        QCOMPARE(about.cmdSysInfo->geometry(), QRect(200, 224, 83, 23));
        QCOMPARE(QApplication::focusWidget(), about.cmdOK);
        QCOMPARE(about.cmdOK->nextInFocusChain(), about.cmdSysInfo);

        // The blue banner runs past the right edge; the black panel holds the four lines.
        QCOMPARE(about.Frame1->geometry(), QRect(0, 0, 401, 41));
        QCOMPARE(about.Frame1->palette().color(QPalette::Window), QColor(0, 0, 192));
        QCOMPARE(about.Picture1->geometry(), QRect(7, 48, 369, 169));
        QCOMPARE(about.Picture1->palette().color(QPalette::Window), QColor(0, 0, 0));
        struct Look {
            QLabel* label;
            QWidget* parent;
            double points;
            bool bold;
            QColor colour;
            QRect rect;
        };
        const QColor white(255, 255, 255);
        for (const Look& look : {Look{about.lblTitle, about.Frame1, 13.5, true, white, QRect(0, 0, 401, 24)},
                 Look{about.lblVersion, about.Frame1, 9.75, false, white, QRect(8, 24, 209, 23)},
                 Look{about.lblDescription, about.Picture1, 9.75, false, white, QRect(16, 8, 331, 54)},
                 Look{about.Label1, about.Picture1, 8.25, false, white, QRect(8, 152, 355, 22)},
                 Look{about.Label2, about.Picture1, 9.75, true, QColor(0, 255, 0), QRect(75, 72, 233, 41)},
                 Look{about.Label3, about.Picture1, 9.75, false, white, QRect(16, 120, 331, 22)}}) {
            QCOMPARE(look.label->parentWidget(), look.parent);
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

    void sysInfoFromPath()
    {
        TestEnv env;
        QTemporaryDir bin, plain;
        PathOverride path(bin.path());
        frmAbout about;
        about.show();

        expectStart(about, QString(), true);  // nothing on the PATH
        // A tool found is started; the better one wins when both are there.
        writeExecutable(bin.path() + QStringLiteral("/kinfocenter"));
        expectStart(about, bin.path() + QStringLiteral("/kinfocenter"), false);
        writeExecutable(bin.path() + QStringLiteral("/hardinfo"));
        expectStart(about, bin.path() + QStringLiteral("/hardinfo"), false);
        // Found, but it will not start: the message.
        Launcher::setRecording(true, false);
        expectStart(about, bin.path() + QStringLiteral("/hardinfo"), true);
        Launcher::setRecording(true);
        {
            // A file without the right to run it is not a program.
            QFile f(plain.path() + QStringLiteral("/hardinfo"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.close();
            PathOverride plainPath(plain.path());
            expectStart(about, QString(), true);
        }

        // The real launcher starts it.
        const QString marker = bin.path() + QStringLiteral("/started");
        writeExecutable(bin.path() + QStringLiteral("/hardinfo"), "#!/bin/sh\necho started > '" + marker.toLocal8Bit() + "'\n");
        Launcher::setRecording(false);
        QTest::mouseClick(about.cmdSysInfo, Qt::LeftButton);
        Launcher::setRecording(true);
        QTRY_VERIFY(QFile::exists(marker));
        QVERIFY(MessageBox::takeShown().isEmpty());
        QVERIFY(about.isVisible());
    }

    void sysInfoThroughRegistry()
    {
        TestEnv env;
        QTemporaryDir empty, folder;
        PathOverride path(empty.path());
        writeExecutable(empty.path() + QStringLiteral("/hardinfo"));  // a desktop tool the registry must win over
        writeExecutable(folder.path() + QStringLiteral("/MSINFO32.EXE"));
        frmAbout about;
        about.show();
        // Location 1 holds a full path, started unchanged without looking for the file; location 2
        // names a folder that holds the tool, or one without it (the message).
        const QList<std::tuple<QString, QString, QString>> cases = {
            {InfoKey, QStringLiteral("/opt/msinfo/bin/msinfo32"), QStringLiteral("/opt/msinfo/bin/msinfo32")},
            {LocationKey, folder.path(), folder.path() + QStringLiteral("/MSINFO32.EXE")},
            {LocationKey, empty.path() + QStringLiteral("/none"), QString()},
        };
        for (const auto& [key, value, started] : cases) {
            FakeRegistry reg;
            reg.setString(key, key == InfoKey ? QStringLiteral("PATH") : QStringLiteral("MSINFO"), value);
            expectStart(about, started, started.isEmpty());
            // Location 1 is asked first, location 2 only when it holds nothing.
            QStringList asked{QStringLiteral("80000002 ") + InfoKey + QStringLiteral("|PATH")};
            if (key == LocationKey)
                asked << QStringLiteral("80000002 ") + LocationKey + QStringLiteral("|MSINFO");
            QCOMPARE(reg.asked, asked);
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
        // A value found is decoded onto the text it was given (a type that leaves it as it was).
        FakeRegistry reg;
        reg.values[QStringLiteral("K|other")] = {QByteArray("\x07", 1), 3};
        val = QStringLiteral("kept");
        QVERIFY(about.GetKeyValue(RegistryValue::HKeyLocalMachine, QStringLiteral("K"), QStringLiteral("other"), val));
        QCOMPARE(val, QStringLiteral("kept"));
    }

    void decodeValues()
    {
        const quint32 Sz = RegistryValue::TypeString, Dword = RegistryValue::TypeDword;
        struct Case {
            QByteArray written;
            quint32 type;
            QString before, after;
        };
        const QList<Case> cases = {
            // Strings: the terminating zero byte is cut (only one); one stored without it is taken whole.
            {QByteArray("C:\\msinfo32.exe\0", 16), Sz, QStringLiteral("x"), QStringLiteral("C:\\msinfo32.exe")},
            {QByteArray("C:\\msinfo32.exe"), Sz, QString(), QStringLiteral("C:\\msinfo32.exe")},
            {QByteArray("ab\0\0", 4), Sz, QString(), QString::fromLatin1("ab\0", 3)},
            {QByteArray("caf\xe9\0", 5), Sz, QString(), QStringLiteral("caf\u00e9")},  // 8-bit text
            // Empty values.
            {QByteArray(), Sz, QStringLiteral("x"), QString()},
            {QByteArray("\0", 1), Sz, QStringLiteral("x"), QString()},
            {QByteArray(), Dword, QString(), QStringLiteral("&h")},
            // 32-bit numbers: bytes from last to first, upper case, no leading zero per byte,
            // after what the text already held.
            {QByteArray("\x78\x56\x34\x12", 4), Dword, QString(), QStringLiteral("&h12345678")},
            {QByteArray("\xef\xcd\xab\x7f", 4), Dword, QString(), QStringLiteral("&h7FABCDEF")},
            {QByteArray("\x04\x03\x02\x01", 4), Dword, QString(), QStringLiteral("&h1234")},
            {QByteArray("\x78\x56\x34\x12", 4), Dword, QStringLiteral("AB"), QStringLiteral("&hAB12345678")},
            // A top byte of zero is cut like a terminator; zero bytes below it give "0".
            {QByteArray("\xef\xcd\xab\x00", 4), Dword, QString(), QStringLiteral("&hABCDEF")},
            {QByteArray("\x10\x00\x00\x00", 4), Dword, QString(), QStringLiteral("&h0010")},
            // Any other type leaves the text as it was.
            {QByteArray("\x01\x02\x03", 3), 3, QStringLiteral("before"), QStringLiteral("before")},
            {QByteArray("%SystemRoot%\0", 13), 2, QStringLiteral("kept"), QStringLiteral("kept")},
        };
        for (const Case& c : cases)
            QCOMPARE(RegistryValue::Decode(c.written, c.type, c.before), c.after);
    }
};

QTEST_MAIN(AboutTest)
#include "tst_about.moc"
