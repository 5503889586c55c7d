// Measures, over 2000 names (1000 commands, 1000 variables, in ten families):
//  - the prefix filter alone: the names offered for a typed prefix;
//  - in the real window, one keystroke in the command box: from the key event to the popup
//    shown (or left closed) and one pass of the event loop after it.
// Prints numbers only. Run under Xvfb (scripts/bench.sh), or with QT_QPA_PLATFORM=offscreen.
#include "../BenchStats.h"
#include "../BenchWorld.h"
#include "completion/CommandCompletion.h"
#include "completion/NameLists.h"
#include "settings/ProgramInfo.h"
#include "settings/UserDataFolder.h"
#include "ui/frmMain.h"
#include "MainWindowControls.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
constexpr int Rounds = 300;

// Ten families of names as servers have them (sv_, g_, bot_, ...), 200 each.
NameLists twoThousandNames()
{
    const char* families[] = {"sv_", "g_", "bot_", "cl_", "com_", "net_", "fs_", "r_", "sys_", "ui_"};
    const char* words[] = {"max", "min", "allow", "rate", "time", "name", "list", "restart", "flood", "team"};
    NameLists names;
    for (int f = 0; f < 10; ++f) {
        for (int i = 0; i < 200; ++i) {
            const QString name = QString::fromLatin1(families[f]) + QString::fromLatin1(words[i % 10])
                + QString::fromLatin1(words[(i / 10) % 10]) + QString::number(i);
            (i % 2 ? names.variables : names.commands).append(name);
        }
    }
    return Tidy(names);
}

void key(QWidget* to, Qt::Key k, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier, text);
    QApplication::sendEvent(to, &press);
    QKeyEvent release(QEvent::KeyRelease, k, Qt::NoModifier, text);
    QApplication::sendEvent(to, &release);
}
}

int main(int argc, char** argv)
{
    BenchFolders folders;  // settings, program folder and the user's folder in temporary folders
    QApplication app(argc, argv);
    folders.settle();

    const NameLists names = twoThousandNames();
    std::printf("%lld commands and %lld variables\n\n", qlonglong(names.commands.size()), qlonglong(names.variables.size()));

    for (const char* typed : {"s", "sv_", "sv_maxmin1", "x"}) {
        const WordToComplete word = FindWordToComplete(QString::fromLatin1(typed));
        std::vector<double> us;
        qsizetype count = 0;
        for (int r = 0; r < Rounds * 10; ++r) {
            QElapsedTimer t;
            t.start();
            count = NamesOffered(names, word).size();
            us.push_back(t.nsecsElapsed() / 1000.0);
        }
        print(qPrintable(QStringLiteral("filter \"%1\" (%2 offered)").arg(QString::fromLatin1(typed)).arg(count)), stats(us), "us");
    }

    // The window aimed at a server whose 2000 names are kept; one key typed into an empty box.
    WriteUserDataFile(NameFileName(QStringLiteral("127.0.0.1"), 27960), WriteNameFile(names));
    frmMain w;
    ui(w).txtAddr->setEditText(QStringLiteral("127.0.0.1"));
    ui(w).txtPort->setEditText(QStringLiteral("27960"));
    w.show();
    w.activateWindow();
    ui(w).txtCommand->setFocus();
    QCoreApplication::processEvents();
    QAbstractItemView* popup = w.completion()->completer()->popup();
    std::printf("\n");
    // Each round starts from an empty box with the popup closed; `first` is typed untimed.
    auto keystroke = [&](const char* first, char typed, bool shown, const char* what) {
        std::vector<double> us;
        for (int r = 0; r < Rounds; ++r) {
            popup->hide();
            ui(w).txtCommand->clear();
            for (const char* c = first; *c; ++c)
                key(ui(w).txtCommand, Qt::Key(QChar::fromLatin1(*c).toUpper().unicode()), QString(QLatin1Char(*c)));
            QCoreApplication::processEvents();
            QElapsedTimer t;
            t.start();
            key(ui(w).txtCommand, Qt::Key(QChar::fromLatin1(typed).toUpper().unicode()), QString(QLatin1Char(typed)));
            QCoreApplication::processEvents();
            us.push_back(t.nsecsElapsed() / 1e6);
            if (popup->isVisible() != shown)
                std::printf("unexpected popup state after \"%s%c\"\n", first, typed);
        }
        print(what, stats(us), "ms");
    };
    keystroke("", 's', true, "keystroke \"s\": popup opened with 400 names");
    keystroke("s", 'v', true, "keystroke \"v\" after \"s\": open popup down to 200");
    keystroke("", 'x', false, "keystroke \"x\": nothing offered");
    ProgramInfo::setProgramFolderForTesting(QString());
    return 0;
}
