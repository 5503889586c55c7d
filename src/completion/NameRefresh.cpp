#include "completion/NameRefresh.h"

#include "console/OutputPane.h"
#include "console/RconDatagram.h"
#include "console/UdpClient.h"
#include "settings/UserDataFolder.h"
#include "ui/frmMain.h"

#include <QAction>
#include <QComboBox>

namespace {
// The datagrams of one answer come back to back; this long without one and it is over.
constexpr int AnswerQuietMs = 1000;
// A request without any answer this long went unheard (a server over its rate limit drops it).
constexpr int NoAnswerMs = 4000;
}

ServerBoxes ReadWindowServer(const frmMain* window)
{
    return ReadServerBoxes(TrimSpaces(window->txtAddr->currentText()), TrimSpaces(window->txtPort->currentText()));
}

NameRefresh::NameRefresh(frmMain* window, QObject* parent)
    : QObject(parent)
    , m_window(window)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &NameRefresh::answerOver);
    connect(window->udpClient, &UdpClient::dataArrival, this, &NameRefresh::datagram);
}

void NameRefresh::start()
{
    if (running())
        return;
    m_names = NameLists();
    m_step = Commands;
    if (!send(QStringLiteral("cmdlist")))
        return;
    // Send may have tidied the boxes; the names belong to the server the request went to.
    const ServerBoxes server = ReadWindowServer(m_window);
    m_host = server.host;
    m_port = server.port;
    m_window->mnuViewRefreshNames->setEnabled(false);
}

bool NameRefresh::send(const QString& command)
{
    const quint64 before = m_window->udpClient->sendCount();
    m_window->SendAsTyped(command);
    if (m_window->udpClient->sendCount() == before) {
        m_step = Idle;  // Send refused, and said why
        return false;
    }
    m_sendCount = m_window->udpClient->sendCount();
    m_answer.clear();
    m_timer.start(NoAnswerMs);
    return true;
}

void NameRefresh::datagram()
{
    if (!running())
        return;
    if (m_window->udpClient->sendCount() != m_sendCount) {
        finish(QStringLiteral("No names learned: another request went out before the answer."));
        return;
    }
    m_answer += DecodeReply(m_window->udpClient->getData());
    m_timer.start(AnswerQuietMs);
}

void NameRefresh::answerOver()
{
    const bool commands = m_step == Commands;
    const QString asked = commands ? QStringLiteral("cmdlist") : QStringLiteral("cvarlist");
    if (m_window->udpClient->sendCount() != m_sendCount)
        return finish(QStringLiteral("No names learned: another request went out before the answer."));
    if (m_answer.isEmpty())
        return finish(QStringLiteral("No names learned: %1 had no answer.").arg(asked));
    QStringList& names = commands ? m_names.commands : m_names.variables;
    names = commands ? ReadCommandList(m_answer) : ReadVariableList(m_answer);
    if (names.isEmpty())
        return finish(QStringLiteral("No names learned: the answer to %1 held none.").arg(asked));
    if (commands) {
        const ServerBoxes server = ReadWindowServer(m_window);
        if (server.host != m_host || server.port != m_port)
            return finish(QStringLiteral("No names learned: the server boxes changed."));
        m_step = Variables;
        if (!send(QStringLiteral("cvarlist")))
            finish(QString());
        return;
    }
    const NameLists tidy = Tidy(m_names);
    if (!WriteUserDataFile(NameFileName(m_host, m_port), WriteNameFile(tidy)))
        return finish(QStringLiteral("No names learned: they could not be kept in %1.").arg(UserDataFolder()));
    emit learned();
    finish(QStringLiteral("Names learned from %1: %2 commands, %3 variables.")
               .arg(ServerAddressText(m_host, m_port), QString::number(tidy.commands.size()),
                   QString::number(tidy.variables.size())));
}

void NameRefresh::finish(const QString& note)
{
    m_step = Idle;
    m_timer.stop();
    m_window->mnuViewRefreshNames->setEnabled(true);
    if (!note.isEmpty())
        m_window->txtOutput->setText(m_window->txtOutput->text() + note + QStringLiteral("\r\n"));
}
