#include "OpenArenaServer.h"
#include "TestEnv.h"

#include <QDeadlineTimer>
#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QUdpSocket>

#include <csignal>
#include <sys/prctl.h>

OpenArenaServer::OpenArenaServer(const QString& rconPassword)
    : m_password(rconPassword)
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

OpenArenaServer::~OpenArenaServer()
{
    stop();
}

QString OpenArenaServer::executable()
{
    return QStandardPaths::findExecutable(QStringLiteral("openarena-server"),
        qEnvironmentVariable("PATH").split(QLatin1Char(':')) << QStringLiteral("/usr/games"));
}

bool OpenArenaServer::start(int timeoutMs)
{
    if (executable().isEmpty()) {
        m_error = QStringLiteral("openarena-server is not installed (the README's test command installs it)");
        return false;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_home.path());
    m_process.setProcessEnvironment(env);
    m_process.setWorkingDirectory(m_home.path());
    // A test that is killed (a time-out, an interrupted run) takes its server with it.
    m_process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
    // Another program may take the free port first: a few attempts, each on a port of its own.
    QDeadlineTimer deadline(timeoutMs);
    for (int attempt = 0; attempt < 3 && !deadline.hasExpired(); ++attempt) {
        m_port = static_cast<quint16>(FreeUdpPort());
        // Loopback only (IPv4, and IPv6 when asked), no master servers, a home of its own.
        QStringList settings = {"dedicated", "1", "net_enabled", QString::number(m_ipv6 ? 3 : 1), "net_ip", "127.0.0.1",
            "net_port", QString::number(m_port), "net_ip6", "::1", "net_port6", QString::number(m_port),
            "sv_master1", "", "sv_master2", "", "sv_master3", "", "fs_homepath", m_home.path(), "rconpassword", m_password};
        settings += m_settings;
        QStringList args;
        for (int i = 0; i < settings.size(); i += 2)
            args << QStringLiteral("+set") << settings[i] << settings[i + 1];
        m_process.start(executable(), args << QStringLiteral("+map") << QStringLiteral("oa_dm1"));
        m_process.waitForStarted();
        // Up when it answers an out-of-band status query on its port.
        QUdpSocket probe;
        probe.bind(QHostAddress::LocalHost, 0);
        for (QDeadlineTimer up(qMin<qint64>(30000, deadline.remainingTime())); !up.hasExpired() && m_process.state() == QProcess::Running;) {
            probe.writeDatagram(QByteArray("\xff\xff\xff\xffgetstatus", 13), QHostAddress::LocalHost, m_port);
            if (probe.waitForReadyRead(500))
                return true;
        }
        stop();
    }
    m_error = QStringLiteral("openarena-server did not come up (%1); it printed:\n").arg(m_process.errorString()) + output().right(2000);
    return false;
}

void OpenArenaServer::stop()
{
    m_process.kill();
    m_process.waitForFinished(5000);
    output();
}

QString OpenArenaServer::output()
{
    m_output += m_process.readAll();
    return QString::fromLatin1(m_output);
}

bool OpenArenaServer::waitForOutput(const QString& text, int timeoutMs)
{
    for (QDeadlineTimer deadline(timeoutMs); !output().contains(text) && !deadline.hasExpired();)
        QTest::qWait(20);
    return output().contains(text);
}

QByteArray OpenArenaServer::rcon(const QString& command, int quietMs)
{
    QUdpSocket s;
    s.bind(QHostAddress::LocalHost, 0);
    s.writeDatagram("\xff\xff\xff\xffrcon " + m_password.toLatin1() + ' ' + command.toLatin1(), QHostAddress::LocalHost, m_port);
    QByteArray text;
    while (s.waitForReadyRead(quietMs)) {
        while (s.hasPendingDatagrams()) {
            const QByteArray d = s.receiveDatagram().data();
            text += d.mid(d.indexOf('\n') + 1);  // the header line goes
        }
    }
    return text;
}

bool OpenArenaServer::addBots(int count)
{
    static const char* names[] = {"Sarge", "Major", "Grunt", "Angelyss", "Arachna", "Assassin", "Ayumi", "Beret", "Jenna",
        "Dark", "Gargoyle", "Kyonshi", "Liz", "Penguin", "Merman", "Tony"};
    for (int i = 0; i < qMin(count, 16); ++i)
        rcon(QStringLiteral("addbot %1 1").arg(QLatin1String(names[i])), 600);  // more at once are dropped
    const QByteArray last = QByteArray("\n") + QByteArray::number(count - 1) + ' ';
    for (QDeadlineTimer deadline(30000); !deadline.hasExpired(); QTest::qWait(200)) {
        if (rcon(QStringLiteral("status")).contains(last))
            return true;
    }
    return false;
}

bool OpenArenaServer::IsWholeStatus(const QString& text, int count)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    if (!text.startsWith(QStringLiteral("map: oa_dm1\ncl score ping name")) || !text.endsWith(QStringLiteral("\n\n")) || lines.size() != 3 + count + 2)
        return false;
    for (int i = 0; i < count; ++i) {
        if (!QRegularExpression(QStringLiteral("^ *%1 +-?\\d+ +\\d+ \\S+ +bot +\\d+ *$").arg(i)).match(lines.at(3 + i)).hasMatch())
            return false;
    }
    return true;
}
