#include "completion/NameRefresh.h"

#include "console/ConsoleSession.h"
#include "console/RconDatagram.h"
#include "settings/UserDataFolder.h"

namespace {
// The datagrams of one answer come back to back; this long without one and it is over.
constexpr int AnswerQuietMs = 1000;
// A request without any answer this long went unheard (a server over its rate limit drops it).
constexpr int NoAnswerMs = 4000;
// How soon to look again whether the pane has shown an answer it holds until it is over.
constexpr int HeldAnswerMs = 50;
}

NameRefresh::Limits NameRefresh::limits;

ServerBoxes ReadWindowServer(const MainWindowBoxReader& boxes)
{
    const MainWindowBoxes shown = boxes();
    return ReadServerBoxes(TrimSpaces(shown.address), TrimSpaces(shown.port));
}

NameRefresh::NameRefresh(ConsoleSession* session, MainWindowBoxReader boxes, Send sendAsTyped, QObject* parent)
    : QObject(parent)
    , m_session(session)
    , m_boxes(std::move(boxes))
    , m_send(std::move(sendAsTyped))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &NameRefresh::answerOver);
    connect(session, &ConsoleSession::datagramArrived, this, &NameRefresh::datagram);
    connect(session, &ConsoleSession::requestSent, this, [this](quint64 number) {
        if (!running())
            return;
        if (number == m_sendCount) {
            m_out = true;
            m_answerTime.start();
            m_timer.start(NoAnswerMs);
        } else if (m_out) {
            finish(QStringLiteral("No names learned: another request went out before the answer."));
        }
    });
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
    const ServerBoxes server = ReadWindowServer(m_boxes);
    m_host = server.host;
    m_port = server.port;
    emit runningChanged(true);
}

bool NameRefresh::send(const QString& command)
{
    const quint64 before = m_session->lastRequest();
    m_sendCount = before + 1;  // the number Send's request gets
    m_out = false;
    m_answer.clear();
    m_answerBytes = 0;
    m_send(command);
    if (m_session->lastRequest() == before) {
        m_step = Idle;  // Send refused, and said why
        return false;
    }
    if (!m_out)
        m_timer.start(NoAnswerMs);
    return true;
}

void NameRefresh::datagram(quint64 number, const QByteArray& data)
{
    if (!running())
        return;
    if (!m_out || number != m_sendCount)
        return;  // the end of an earlier answer, while ours waits for its turn
    // A server that never stops answering is not waited for, nor held in memory.
    m_answerBytes += data.size();
    m_answer += DecodeReply(data);
    if (m_answerBytes > limits.answerBytes)
        return readAnswer(QStringLiteral("passed %1 MB").arg(limits.answerBytes / (1024 * 1024)));
    if (m_answerTime.hasExpired(limits.answerMs))
        return readAnswer(QStringLiteral("went on for more than %1 seconds").arg(limits.answerMs / 1000));
    m_timer.start(AnswerQuietMs);
}

void NameRefresh::answerOver()
{
    if (!m_out && m_session->waiting(m_sendCount))
        return m_timer.start(NoAnswerMs);  // still waiting for the server's request limit
    if (m_session->holding(m_sendCount))
        return m_timer.start(HeldAnswerMs);  // its note goes under the answer, once that shows
    if (m_answer.isEmpty())
        return finish(QStringLiteral("No names learned: %1 had no answer.").arg(asked()));
    readAnswer(QString());
}

QString NameRefresh::asked() const
{
    return m_step == Commands ? QStringLiteral("cmdlist") : QStringLiteral("cvarlist");
}

void NameRefresh::readAnswer(QString limit)
{
    const bool commands = m_step == Commands;
    QStringList& names = commands ? m_names.commands : m_names.variables;
    bool more = false;
    names = commands ? ReadCommandList(m_answer, &more) : ReadVariableList(m_answer, &more);
    m_answer.clear();
    if (more && limit.isEmpty())
        limit = QStringLiteral("held more than %1 names").arg(MaxNamesOfEachKind);
    if (m_names.commands.isEmpty() && m_names.variables.isEmpty()) {
        if (!limit.isEmpty())
            return finish(QStringLiteral("No names learned: the answer to %1 %2.").arg(asked(), limit));
        return finish(QStringLiteral("No names learned: the answer to %1 held none.").arg(asked()));
    }
    if (!limit.isEmpty())
        return keep(QStringLiteral("Names refresh stopped: the answer to %1 %2. ").arg(asked(), limit));
    if (names.isEmpty())
        return finish(QStringLiteral("No names learned: the answer to %1 held none.").arg(asked()));
    if (!commands)
        return keep(QString());
    const ServerBoxes server = ReadWindowServer(m_boxes);
    if (server.host != m_host || server.port != m_port)
        return finish(QStringLiteral("No names learned: the server boxes changed."));
    m_step = Variables;
    if (!send(QStringLiteral("cvarlist")))
        finish(QString());
}

void NameRefresh::keep(const QString& stopped)
{
    const NameLists tidy = Tidy(m_names);
    if (!WriteUserDataFile(NameFileName(m_host, m_port), WriteNameFile(tidy)))
        return finish(QStringLiteral("No names learned: they could not be kept in %1.").arg(UserDataFolder()));
    emit learned();
    finish(stopped
        + QStringLiteral("Names learned from %1: %2 commands, %3 variables.")
              .arg(ServerAddressText(m_host, m_port), QString::number(tidy.commands.size()), QString::number(tidy.variables.size())));
}

void NameRefresh::finish(const QString& note)
{
    m_step = Idle;
    m_timer.stop();
    emit runningChanged(false);
    if (!note.isEmpty())
        emit this->note(note + QStringLiteral("\r\n"));
}
