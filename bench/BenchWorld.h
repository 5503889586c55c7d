#pragma once
// The world a benchmark of the program runs in: settings, the user's folder and the program's
// folder of its own, and, for those that talk to a stand-in server, a loopback UDP socket.
#include "settings/ProgramInfo.h"
#include "ui/frmMain.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

// Made before the QApplication: the offscreen platform where there is no display, and the
// settings and the user's folder in temporary folders (nothing of the user's is read or
// written). `settle()`, once the QApplication is made, points the settings file and the
// program's folder there too.
struct BenchFolders {
    QTemporaryDir config, data, program;

    BenchFolders()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
            && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    }

    void settle() const
    {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
        ProgramInfo::setProgramFolderForTesting(program.path());
    }
};

// A UDP socket bound to 127.0.0.1 on a free port, `addr` its address; a read gives up after
// 100 ms, so that a thread serving on it sees its stop flag.
inline int LoopbackServerSocket(sockaddr_in& addr)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    addr = sockaddr_in{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t alen = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &alen);
    timeval tv{0, 100000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    return fd;
}

// The main window's boxes name the server on 127.0.0.1 at `port`, as the user types them.
inline void PointAtLoopback(frmMain& w, quint16 port, const QString& password)
{
    w.ShowServer(QStringLiteral("127.0.0.1"), port);
    w.findChild<QLineEdit*>(QStringLiteral("txtPassword"))->setText(password);
}
