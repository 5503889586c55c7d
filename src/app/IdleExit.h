#pragma once
// Startup measurement hook, shared by the program and the bare-window benchmark so both are
// timed the same way. When the environment variable TELMORAX_EXIT_WHEN_IDLE is set (to
// anything non-empty), the first time the event loop is about to wait for input while the
// window is exposed on screen, the program prints one line to standard output,
//     idle elapsed_ms=<since main started> rss_kb=<resident memory> windows=<shown> dir=<program folder>
// and quits (the windows shown are named by object name, in order of name; the folder is the one
// given, where the program looks for its reference lists). Without the variable nothing changes.
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QWidget>
#include <QWindow>
#include <cstdio>

inline long ResidentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

inline void ExitWhenIdleIfAsked(QWidget* window, const QElapsedTimer& sinceStart,
    const QString& folder = QCoreApplication::applicationDirPath())
{
    if (qEnvironmentVariableIsEmpty("TELMORAX_EXIT_WHEN_IDLE"))
        return;
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher)
        return;
    auto* connection = new QMetaObject::Connection;
    *connection = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, window,
        [window, sinceStart, folder, connection] {
            const QWindow* handle = window->windowHandle();
            if (!handle || !handle->isExposed())
                return;
            QObject::disconnect(*connection);
            delete connection;
            QStringList shown;
            for (const QWidget* w : QApplication::topLevelWidgets()) {
                if (w->isVisible())
                    shown.append(w->objectName());
            }
            shown.sort();
            std::printf("idle elapsed_ms=%lld rss_kb=%ld windows=%s dir=%s\n", static_cast<long long>(sinceStart.elapsed()),
                ResidentKilobytes(), shown.join(QLatin1Char(',')).toLocal8Bit().constData(),
                folder.toLocal8Bit().constData());
            std::fflush(stdout);
            QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
        });
}
