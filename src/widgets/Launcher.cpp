#include "widgets/Launcher.h"

#include <QDesktopServices>
#include <QProcess>

namespace {
struct State {
    bool recording = false;
    bool result = true;
    QList<Launcher::Request> requests;
};
State& state()
{
    static State s;
    return s;
}
}

bool Launcher::openFile(const QString& path)
{
    if (state().recording) {
        state().requests.append({Request::OpenFile, path, {}});
        return state().result;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool Launcher::openUrl(const QUrl& url)
{
    if (state().recording) {
        state().requests.append({Request::OpenUrl, url.toString(QUrl::FullyEncoded), {}});
        return state().result;
    }
    return QDesktopServices::openUrl(url);
}

bool Launcher::startProgram(const QString& program, const QStringList& arguments)
{
    if (state().recording) {
        state().requests.append({Request::StartProgram, program, arguments});
        return state().result;
    }
    return QProcess::startDetached(program, arguments);
}

void Launcher::setRecording(bool on, bool result)
{
    state().recording = on;
    state().result = result;
    state().requests.clear();
}

QList<Launcher::Request> Launcher::takeRequests()
{
    QList<Request> out;
    out.swap(state().requests);
    return out;
}
