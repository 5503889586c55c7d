#include "console/ConsoleSession.h"
#include "console/BoundServer.h"

#include "console/AnswerShape.h"
#include "console/ErrorBurst.h"
#include "console/NoAnswerLine.h"
#include "console/RconDatagram.h"
#include "console/ReadCommands.h"
#include "console/ServerAddress.h"
#include "console/ServerExchange.h"
#include "console/TimeOfDay.h"
#include "log/LogFile.h"
#include "log/LogText.h"
#include "settings/Shutdown.h"

#include <algorithm>
#include <limits>

namespace {
// A shorter wait for the server's request limit gets no line: it would read "0.0 s".
constexpr qint64 ShownWaitMs = 100;
const QString AutoStatusText = QStringLiteral(" : [auto] status");

// A read whose answer has a known form is shown once it is over: the exchange may ask it again,
// and puts its datagrams in order, which a line on a bad network needs (two swapped would split a
// row in two places). Any other answer shows as it comes.
bool ShownWhenOver(const ExchangeRequest& request)
{
    return HasKnownShape(request.command, request.outOfBand);
}

ExchangeRequest consoleRequest(const QString& host, int port, const QString& password, const QString& command)
{
    ExchangeRequest request = BoundRequest(BoundServer{host, port, password}, command, ExchangeRequest::Priority::Typed);
    // From the server's own port number where it is free, as the game's own tools do.
    request.localPort = port;
    request.keepListening = true;
    return request;
}
}

ConsoleSession::ConsoleSession(QObject* parent)
    : QObject(parent)
    , m_errors(new ErrorBurst(this))
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(ReplyQuietMs);
    connect(&m_quiet, &QTimer::timeout, this, &ConsoleSession::endReply);
    connect(m_errors, &ErrorBurst::line, this, [this](int, const QString& description) {
        emit socketError(description);
        show(description + QStringLiteral("\r\n"));
        if (m_logging)
            AppendLogRecord(description + QStringLiteral("\r\n"));
    });
}

ConsoleSession::~ConsoleSession()
{
    // However the window goes, a reply record still open gets its end.
    EndOpenRecord();
}

quint64 ConsoleSession::send(const QString& host, int port, const QString& password, const QString& command, const QString& note,
    QObject* asker)
{
    // The echo shows at once; the log records the command when it goes out, so a command
    // still waiting when the window closes was never sent and is not in the log. Errors
    // counted so far belong before it.
    m_errors->end();
    const QString time = TimeOfDay();
    // The echo line belongs to the request it announces: its answer follows it as it is.
    show(time + QStringLiteral(" : ") + command + note + QStringLiteral("\r\n"), ShuttingDown() ? 0 : m_lastRequest + 1);
    if (ShuttingDown())
        return 0;
    return ask(Request{0, consoleRequest(host, port, password, command), time, note, m_logging, asker, ServerAddressText(host, port)});
}

void ConsoleSession::sendTo(const QString& host, int port, const QString& password, const QString& command)
{
    QString note;
    if (m_boxes) {
        const MainWindowBoxes boxes = m_boxes();
        const ServerBoxes shown = ReadServerBoxes(TrimSpaces(boxes.address), TrimSpaces(boxes.port));
        if (shown.problemBox != ServerBoxes::None || shown.host.compare(host, Qt::CaseInsensitive) != 0 || shown.port != port)
            note = QStringLiteral("   (sent to %1)").arg(ServerAddressText(host, port));
    }
    send(host, port, password, command, note, sender());
}

void ConsoleSession::queryStatus(const QString& host, int port, const QString& password, qint64 skipIfLongerMs)
{
    if (ShuttingDown())
        return;
    const QString server = ServerAddressText(host, port);
    if (!m_refusedPassword.isEmpty() && m_refusedPassword == password && m_refusedServer == server) {
        if (!m_refusalSaid)
            show(QStringLiteral("(%1 refused the password: the timed status query waits until the password changes)\r\n").arg(server));
        m_refusalSaid = true;
        return;
    }
    ExchangeRequest request = consoleRequest(host, port, password, QStringLiteral("status"));
    request.priority = ExchangeRequest::Priority::Automatic;
    request.skipIfWaitLongerMs = static_cast<int>(std::min<qint64>(skipIfLongerMs, std::numeric_limits<int>::max()));
    ask(Request{0, request, QString(), QString(), m_logging, nullptr, server});
}

quint64 ConsoleSession::ask(Request request)
{
    request.number = ++m_lastRequest;
    m_requests.append(request);
    startNext();
    return request.number;
}

void ConsoleSession::startNext()
{
    // A request that starts may go out at once, and its signals come back here.
    if (m_starting)
        return;
    m_starting = true;
    for (;;) {
        quint64 next = 0;
        for (const Request& r : std::as_const(m_requests)) {
            if (r.resolving)
                break;
            if (!r.exchange) {
                next = r.number;
                break;
            }
        }
        if (!next)
            break;
        start(next);
    }
    m_starting = false;
}

void ConsoleSession::start(quint64 number)
{
    Request* r = find(number);
    r->resolving = true;
    ServerExchange* exchange = ServerExchange::prepare(r->request, this);
    r->exchange = exchange;
    connect(exchange, &ServerExchange::error, m_errors, &ErrorBurst::add);
    connect(exchange, &ServerExchange::addressKnown, this, [this, number] {
        if (Request* q = find(number))
            q->resolving = false;
        startNext();
    });
    connect(exchange, &ServerExchange::waiting, this, [this, number](qint64 ms) {
        // A wait too short to read is not worth a line.
        const Request* q = find(number);
        if (q && q->request.priority == ExchangeRequest::Priority::Typed && ms >= ShownWaitMs)
            show(QStringLiteral("(waiting %1 s for the server's request limit)\r\n").arg(ms / 1000.0, 0, 'f', 1), number);
    });
    connect(exchange, &ServerExchange::sent, this, [this, number] { wentOut(number); });
    connect(exchange, &ServerExchange::askingAgain, this, [this, number](int tries) {
        // The next try's answer follows this line. The timed query asks again without a word,
        // as it waits without one.
        const Request* q = find(number);
        if (!q || q->request.priority != ExchangeRequest::Priority::Typed)
            return;
        endReply();
        show(QStringLiteral("(asking again, try %1 of %2: %3)\r\n").arg(QString::number(tries), QString::number(ServerExchange::MaxTries), q->request.command),
            number);
    });
    connect(exchange, &ServerExchange::datagramArrived, this, [this, number, exchange](const QByteArray& datagram, const QString& text) {
        if (Request* q = find(number); q && ShownWhenOver(q->request) && !q->over) {
            // Held until the answer is over. One that comes after that, before its outcome is
            // heard here, is not part of it and follows it.
            if (exchange->isOver())
                q->late << datagram;
        } else {
            arrived(number, text, text);
        }
        emit datagramArrived(number, datagram);  // as it came, for those who read datagrams
    });
    connect(exchange, &ServerExchange::finished, this, [this, number](const ExchangeOutcome& outcome) {
        const Request* r = find(number);
        if (r && ShownWhenOver(r->request)) {
            // Whole and in the order the exchange put it, in one piece: a long answer is one
            // append to the pane, however many datagrams it came in.
            const QList<QByteArray> late = r->late;
            if (!outcome.datagrams.isEmpty())
                arrived(number, outcome.text, DecodeReply(outcome.datagrams.first()));
            for (const QByteArray& datagram : late)
                arrived(number, DecodeReply(datagram), DecodeReply(datagram));
        }
        if (const Request* q = find(number)) {
            tell(*q, outcome);
            if (q->asker)
                emit actionOver(q->asker, q->request.command, outcome);
        }
        over(number);
    });
    exchange->start();
}

void ConsoleSession::over(quint64 number)
{
    Request* r = find(number);
    if (!r)
        return;
    r->resolving = false;
    r->over = true;
    // One that never went out is gone, and so is one whose answer is over once a later
    // request has gone out; the latest keeps listening.
    if (!r->sent || r->number != latestSent())
        drop(number);
    startNext();
}

void ConsoleSession::wentOut(quint64 number)
{
    if (Request* r = find(number)) {
        // A read asked again goes out again: it shows and is logged once, as it was typed.
        if (!r->sent)
            announce(*r);
        r->sent = true;
    }
    // Earlier requests whose answers are over close their sockets.
    QList<quint64> done;
    for (const Request& r : std::as_const(m_requests)) {
        if (r.sent && r.over && r.number != number)
            done << r.number;
    }
    for (quint64 n : done)
        drop(n);
    emit requestSent(number);
}

quint64 ConsoleSession::latestSent() const
{
    quint64 latest = 0;
    for (const Request& r : m_requests) {
        if (r.sent)
            latest = std::max(latest, r.number);
    }
    return latest;
}

void ConsoleSession::drop(quint64 number)
{
    for (int i = 0; i < m_requests.size(); ++i) {
        if (m_requests[i].number == number) {
            m_requests[i].exchange->disconnect(this);
            m_requests[i].exchange->deleteLater();
            m_requests.removeAt(i);
            return;
        }
    }
}

void ConsoleSession::announce(const Request& r)
{
    if (r.request.priority == ExchangeRequest::Priority::Typed) {
        if (r.logged)
            AppendCommandRecord(r.time, r.request.command, r.note);
        return;
    }
    // The timed query shows and is logged when it goes out; errors counted so far first.
    m_errors->end();
    const QString time = TimeOfDay();
    show(time + AutoStatusText + QStringLiteral("\r\n"), r.number);
    if (r.logged)
        AppendLogRecord(time + AutoStatusText);
}

void ConsoleSession::arrived(quint64 number, const QString& text, const QString& firstText)
{
    m_errors->end();  // an error that came before this datagram shows before it
    // The server splits long output into several datagrams, each with its own header line;
    // each is shown after the one before, so a line cut between two reads whole again.
    if (m_replyOpen && m_replyOf != number)
        endReply();  // another request's answer: this one's goes on under its own line
    Request* r = find(number);
    if (r)
        under(*r);
    const bool continues = m_replyOpen;
    const bool first = r && !r->heard;
    if (r)
        r->heard = true;
    if (!m_replyOpen) {
        m_replyOpen = true;
        m_replyLogged = m_logging;  // decided once, by the first datagram
        m_replyOf = number;
        m_replyAsker = r ? r->asker : nullptr;
    }
    if (first) {
        if (IsPasswordRefusal(firstText)) {
            m_refusedPassword = r->request.password;
            m_refusedServer = r->server;
            m_refusalSaid = false;
        } else if (r->request.password == m_refusedPassword && r->server == m_refusedServer) {
            m_refusedPassword.clear();  // taken after all (the server's password changed back)
        }
        emit passwordAnswered(r->request.password, firstText);
    }
    if (m_replyAsker)
        emit actionAnswered(m_replyAsker, text, first);
    m_shownOf = number;
    emit replyText(text, continues);
    if (m_replyLogged)
        BeginOrContinueReplyRecord(text);
    m_quiet.start();
}

void ConsoleSession::under(const Request& r)
{
    if (m_shownOf == r.number)
        return;
    // Something else came between this request's echo (or its answer so far) and what comes
    // of it now: a line names the command it answers, so that no two answers mix.
    show(QStringLiteral("(answer to %1)\r\n").arg(r.request.command), r.number);
    if (m_logging)  // a password in the command is masked there, as in its echo's record
        AppendLogRecord(QStringLiteral("(answer to %1)\r\n").arg(MaskPasswords(r.request.command)));
}

void ConsoleSession::tell(const Request& r, const ExchangeOutcome& outcome)
{
    if (outcome.kind == ExchangeOutcome::NoAnswer) {
        // Whether it may have run: a read was asked again, a command with an effect never.
        const bool read = IsReadOnly(r.request.command, r.request.outOfBand);
        return show(NoAnswerLine(r.server, r.request.command, read, outcome.tries, LineCase::Window) + QStringLiteral("\r\n"), r.number);
    }
    const QString warning = outcome.kind == ExchangeOutcome::Answered ? AnswerWarning(r.request, outcome, LineCase::Window) : QString();
    if (warning.isEmpty())
        return;
    endReply();
    under(r);
    show(warning + QStringLiteral("\r\n"), r.number);
    if (r.logged)
        AppendLogRecord(warning);
}

void ConsoleSession::show(const QString& text, quint64 request)
{
    // A line of no request (an error, a note) tells no answer from another.
    if (request)
        m_shownOf = request;
    emit line(text);
}

void ConsoleSession::note(const QString& text)
{
    show(text + QStringLiteral("\r\n"));
}

void ConsoleSession::endReply()
{
    m_quiet.stop();
    m_replyOpen = false;
    m_replyLogged = false;
    EndOpenRecord();
}

void ConsoleSession::endErrors()
{
    m_errors->end();
}

bool ConsoleSession::waiting(quint64 number) const
{
    const Request* r = find(number);
    return r && !r->sent;
}

bool ConsoleSession::holding(quint64 number) const
{
    const Request* r = find(number);
    return r && r->sent && !r->over && ShownWhenOver(r->request);
}

ServerExchange* ConsoleSession::listening() const
{
    const Request* r = find(latestSent());
    return r ? r->exchange : nullptr;
}

const ConsoleSession::Request* ConsoleSession::find(quint64 number) const
{
    for (const Request& r : m_requests) {
        if (r.number == number)
            return &r;
    }
    return nullptr;
}

ConsoleSession::Request* ConsoleSession::find(quint64 number)
{
    return const_cast<Request*>(std::as_const(*this).find(number));
}
