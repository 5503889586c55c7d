#include "OpenArenaServer.h"
#include "TestEnv.h"

#include <QDeadlineTimer>
#include <QFileInfo>
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
    QString found = QStandardPaths::findExecutable(QStringLiteral("openarena-server"));
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(QStringLiteral("openarena-server"), {QStringLiteral("/usr/games")});
    return found;
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
        QStringList args = {QStringLiteral("+set"), QStringLiteral("dedicated"), QStringLiteral("1"),
            QStringLiteral("+set"), QStringLiteral("net_enabled"), QString::number(m_ipv6 ? 3 : 1),
            QStringLiteral("+set"), QStringLiteral("net_ip"), QStringLiteral("127.0.0.1"),
            QStringLiteral("+set"), QStringLiteral("net_ip6"), QStringLiteral("::1"),
            QStringLiteral("+set"), QStringLiteral("net_port6"), QString::number(m_port),
            QStringLiteral("+set"), QStringLiteral("net_port"), QString::number(m_port),
            QStringLiteral("+set"), QStringLiteral("sv_master1"), QString(),
            QStringLiteral("+set"), QStringLiteral("sv_master2"), QString(),
            QStringLiteral("+set"), QStringLiteral("sv_master3"), QString(),
            QStringLiteral("+set"), QStringLiteral("fs_homepath"), m_home.path(),
            QStringLiteral("+set"), QStringLiteral("rconpassword"), m_password,
            QStringLiteral("+map"), QStringLiteral("oa_dm1")};
        m_process.start(exe, args);
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
            if (probe.waitForReadyRead(500)) {
                while (probe.hasPendingDatagrams())
                    probe.receiveDatagram();
                return true;
            }
            output();
        }
        output();
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
    while (!output().contains(text)) {
        if (deadline.hasExpired() || m_process.state() != QProcess::Running)
            return output().contains(text);
        QTest::qWait(20);
    }
    return true;
}

QByteArray OpenArenaServer::rcon(const QString& command, int quietMs)
{
    QUdpSocket s;
    s.bind(QHostAddress::LocalHost, 0);
    s.writeDatagram(QByteArray("\xff\xff\xff\xffrcon ", 9) + m_password.toLatin1() + ' ' + command.toLatin1(),
        QHostAddress::LocalHost, m_port);
    QByteArray text;
    while (s.waitForReadyRead(quietMs)) {
        while (s.hasPendingDatagrams()) {
            const QByteArray d = s.receiveDatagram().data();
            const int lf = d.indexOf('\n');
            text += lf >= 0 ? d.mid(lf + 1) : d;
        }
    }
    return text;
}
