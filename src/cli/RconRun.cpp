#include "cli/RconRun.h"

#include "cli/CommandLine.h"
#include "cli/ExitStatus.h"
#include "console/RconDatagram.h"
#include "console/ServerAddress.h"
#include "console/TimeOfDay.h"
#include "console/UdpClient.h"
#include "log/LogFile.h"


RconRun::RconRun(const Request& request, QObject* parent)
    : QObject(parent)
    , m_request(request)
    , m_client(new UdpClient(this))
    , m_text(request.colours)
{
    m_client->setRemoteHost(request.host);
    m_client->setRemotePort(request.port);
    m_client->setLocalPort(0);  // any: a server or the window on this machine keeps its own
    connect(m_client, &UdpClient::dataArrival, this, &RconRun::arrived);
    connect(m_client, &UdpClient::error, this, [this](int, const QString& description) { failed(description); });
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &RconRun::timedOut);
}

void RconRun::start()
{
    send();
}

QString RconRun::server() const
{
    return ServerAddressText(m_request.host, m_request.port);
}

void RconRun::send()
{
    const qint64 early = m_sinceSend.isValid() ? SendSpacingMs - m_sinceSend.elapsed() : 0;
    if (early > 0) {
        m_state = Pacing;
        m_timer.start(static_cast<int>(early));
        return;
    }
    const QString command = m_request.commands.at(m_next);
    if (m_request.log && !AppendCommandRecord(TimeOfDay(), command))
        Tell(QStringLiteral("cannot write the log %1").arg(LogFilePath()));
    m_client->sendData(BuildRequest(m_request.password, command));
    m_sinceSend.start();
    m_state = Awaiting;
    m_timer.start(qMax(FirstDatagramMs, m_request.quietMs));
}

void RconRun::arrived()
{
    if (m_state == Done)
        return;
    const QString text = DecodeReply(m_client->getData());
    if (m_state == Awaiting) {
        m_answerStatus = ExitStatus::OfAnswer(text);
        m_state = Receiving;
    }
    Print(stdout, m_text.add(text));
    if (m_request.log)
        BeginOrContinueReplyRecord(text);
    if (m_state == Receiving)
        m_timer.start(m_request.quietMs);
    // While pacing, a late part of the answer before: printed and logged, the pace kept.
}

void RconRun::timedOut()
{
    switch (m_state) {
    case Pacing:
        send();
        return;
    case Awaiting:
        finish(ExitStatus::NoAnswer);
        return;
    case Receiving:
        Print(stdout, m_text.finish());
        if (m_request.log)
            EndOpenRecord();
        if (m_answerStatus != ExitStatus::Answered || ++m_next == m_request.commands.size())
            finish(m_answerStatus);
        else
            send();
        return;
    case Done:
        return;
    }
}

void RconRun::failed(const QString& description)
{
    if (m_state == Done)
        return;
    Tell(server() + QStringLiteral(": ") + description);
    if (m_request.log)
        AppendLogRecord(description + QStringLiteral("\r\n"));  // as the window logs a socket error
    finish(ExitStatus::Refused);
}

void RconRun::finish(int exitStatus)
{
    m_state = Done;
    m_timer.stop();
    m_client->close();
    Print(stdout, m_text.finish());
    if (m_request.log)
        EndOpenRecord();
    const QString command = m_request.commands.value(m_next);
    if (exitStatus == ExitStatus::BadPassword)
        Tell(QStringLiteral("%1 refused the rcon password; \"%2\" was not run").arg(server(), command));
    else if (exitStatus == ExitStatus::NoAnswer)
        Tell(QStringLiteral("no answer from %1 to \"%2\" within %3 seconds")
                 .arg(server(), command, QString::number(qMax(FirstDatagramMs, m_request.quietMs) / 1000.0)));
    const int unsent = m_request.commands.size() - m_next - 1;
    if (exitStatus != ExitStatus::Answered && unsent > 0)
        Tell(unsent == 1 ? QStringLiteral("the command after it was not sent")
                         : QStringLiteral("the %1 commands after it were not sent").arg(unsent));
    emit finished(exitStatus);
}
