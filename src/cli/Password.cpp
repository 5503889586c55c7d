#include "cli/Password.h"

#include "console/RconDatagram.h"

#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace {
termios g_saved;

// A signal while echo is off: echo back on, then the signal's usual end.
void restoreAndRaise(int signal)
{
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_saved);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

QString askOnTerminal(const QString& prompt)
{
    std::fputs(prompt.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    const bool echoOff = ::tcgetattr(STDIN_FILENO, &g_saved) == 0;
    const int stopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
    if (echoOff) {
        for (int s : stopSignals)
            std::signal(s, restoreAndRaise);
        termios quiet = g_saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    QByteArray line;
    char c;
    while (::read(STDIN_FILENO, &c, 1) == 1 && c != '\n')
        line += c;
    if (echoOff) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_saved);
        for (int s : stopSignals)
            std::signal(s, SIG_DFL);
    }
    return QString::fromLocal8Bit(line);
}
}

Password ReadPassword(const QString& file, const QString& prompt)
{
    Password p;
    QString empty;  // what it means when the password is empty
    if (!file.isEmpty()) {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) {
            p.error = QStringLiteral("cannot read the password file %1: %2").arg(file, f.errorString());
            return p;
        }
        const QFileInfo info(file);
        if (info.isFile() && (info.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther)))
            p.warning = QStringLiteral("the password file %1 is readable by other users").arg(file);
        p.text = QString::fromUtf8(f.readLine(4096)).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
        empty = QStringLiteral("the first line of %1 is empty").arg(file);
    } else if (!qEnvironmentVariableIsEmpty("TELMORAX_PASSWORD")) {
        p.text = qEnvironmentVariable("TELMORAX_PASSWORD");
        empty = QStringLiteral("TELMORAX_PASSWORD holds only spaces");
    } else if (::isatty(STDIN_FILENO)) {
        p.text = askOnTerminal(prompt);
        empty = QStringLiteral("none was typed");
    } else {
        p.error = QStringLiteral("no rcon password: name a file with --password-file or set TELMORAX_PASSWORD "
                                 "(standard input is not a terminal to ask on)");
        return p;
    }
    p.text = TrimSpaces(p.text);
    if (p.text.isEmpty())
        p.error = QStringLiteral("no rcon password: ") + empty;
    return p;
}
