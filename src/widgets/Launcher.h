#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

// Starting other programs: a file in the desktop's text editor, an address in the web
// browser, a program by name. Tests switch it to recording mode: nothing starts, each
// request is recorded and answered with the preset result.
class Launcher {
public:
    struct Request {
        enum Kind { OpenFile, OpenUrl, StartProgram } kind;
        QString target;      // file path, address, or program
        QStringList arguments;
    };

    static bool openFile(const QString& path);
    static bool openUrl(const QUrl& url);
    static bool startProgram(const QString& program, const QStringList& arguments = {});

    static void setRecording(bool on, bool result = true);
    static QList<Request> takeRequests();
};
