// The main window's side of the program's memory: recording while the window is open, the
// bans lifted when they run out, and the Lookup window.
#include "ui/frmMain.h"

#include "bans/BanKeeper.h"
#include "console/BoundServer.h"
#include "lookup/frmLookup.h"
#include "memory/Recorder.h"


void frmMain::KeepMemory()
{
    // Several windows in one process (tests) share one recording: the first one keeps it.
    if (!Recorder::IsRecording()) {
        Recorder::Start([this](const QString& line) { AppendNote(line); });
        m_recording = Recorder::IsRecording();
    }
    if (!m_recording)
        return;
    banKeeper = new BanKeeper(this);
    // A server that has no password saved is lifted with the boxes' password when they name it.
    banKeeper->setPasswordSource([this](const QString& host, int port) {
        QString problem;
        const BoundServer named = ReadBoundServer(boxes(), &problem);
        return named.isSet() && named.sameServer(BoundServer{host, port, QString()}) ? named.password : QString();
    });
    connect(banKeeper, &BanKeeper::told, this, &frmMain::AppendNote);
    banKeeper->keep();
}

void frmMain::ForgetMemory()
{
    if (!m_recording)
        return;
    delete banKeeper;
    banKeeper = nullptr;
    Recorder::Stop();
    m_recording = false;
}

void frmMain::mnuCommandsLookup_Click()
{
    if (!lookup) {
        lookup = new frmLookup([this] { return boxes(); }, this);
    }
    lookup->show();
    lookup->raise();
    lookup->activateWindow();
}
