#include "OpenArenaServer.h"
#include "TestEnv.h"

#include <QDeadlineTimer>
#include <QNetworkDatagram>
#include <QStandardPaths>
#include <QTest>
#include <QUdpSocket>

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
    const QString found = QStandardPaths::findExecutable(QStringLiteral("openarena-server"));
    return found.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("openarena-server"), {QStringLiteral("/usr/games")}) : found;
}

bool OpenArenaServer::start(int timeoutMs)
{
    const QString exe = executable();
    if (exe.isEmpty()) {
        m_error = QStringLiteral("openarena-server is not installed (the README's test command installs it)");
        return false;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_home.path());
    m_process.setProcessEnvironment(env);
    m_process.setWorkingDirectory(m_home.path());
    QDeadlineTimer deadline(timeoutMs);
    for (int attempt = 0; attempt < 3 && !deadline.hasExpired(); ++attempt) {
        m_port = static_cast<quint16>(FreeUdpPort());
        m_output.clear();
        // IPv4 on loopback only, no master servers, a home of its own.
        const QStringList settings = {"dedicated", "1", "net_enabled", "1", "net_ip", "127.0.0.1", "net_port", QString::number(m_port),
            "sv_master1", "", "sv_master2", "", "sv_master3", "", "fs_homepath", m_home.path(), "rconpassword", m_password};
        QStringList args;
        for (int i = 0; i < settings.size(); i += 2)
            args << QStringLiteral("+set") << settings[i] << settings[i + 1];
        m_process.start(exe, args << QStringLiteral("+map") << QStringLiteral("oa_dm1"));
        if (!m_process.waitForStarted(10000)) {
            m_error = QStringLiteral("openarena-server did not start: ") + m_process.errorString();
            return false;
        }
        // Up when it answers an out-of-band status query on its port.
        QUdpSocket probe;
        probe.bind(QHostAddress::LocalHost, 0);
        QDeadlineTimer attemptDeadline(qMin<qint64>(30000, deadline.remainingTime()));
        while (!attemptDeadline.hasExpired() && m_process.state() == QProcess::Running) {
            probe.writeDatagram(QByteArray("\xff\xff\xff\xffgetstatus", 13), QHostAddress::LocalHost, m_port);
            if (probe.waitForReadyRead(500))
                return true;
            output();
        }
        stop();
    }
    m_error = QStringLiteral("openarena-server did not come up; it printed:\n") + QString::fromLatin1(m_output.right(2000));
    return false;
}

void OpenArenaServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.write("quit\n");
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    m_output += m_process.readAll();
}

QString OpenArenaServer::output()
{
    m_output += m_process.readAll();
    return QString::fromLatin1(m_output);
}

bool OpenArenaServer::waitForOutput(const QString& text, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!output().contains(text) && !deadline.hasExpired() && m_process.state() == QProcess::Running)
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
