#include "console/ServerExchange.h"

#include "console/AnswerShape.h"
#include "console/ExchangeObserver.h"
#include "console/RconDatagram.h"
#include "console/ReadCommands.h"
#include "console/RequestBudget.h"
#include "console/StatusResponse.h"
#include "settings/Shutdown.h"
#include "console/UdpClient.h"

#include <QHostInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>

QString ExchangeOutcome::words(Kind kind)
{
    switch (kind) {
    case Answered: return QStringLiteral("answered");
    case BadPassword: return QStringLiteral("bad password");
    case NoAnswer: return QStringLiteral("no answer");
    case Refused: return QStringLiteral("refused");
    case NotResolved: return QStringLiteral("not resolved");
    case Skipped: return QStringLiteral("skipped");
    case Cancelled: return QStringLiteral("cancelled");
    }
    return QString();
}

QString AnswerWarning(const ExchangeRequest& request, const ExchangeOutcome& outcome, LineCase lineCase)
{
    if (outcome.cut) {
        qint64 bytes = 0;
        for (const QByteArray& datagram : outcome.datagrams)
            bytes += datagram.size();
        return CutAnswerLine(bytes >= request.maxAnswerBytes, request.maxAnswerBytes, request.maxAnswerMs, lineCase);
    }
    return outcome.incomplete ? IncompleteAnswerLine(lineCase) : QString();
}

QHostAddress PreferredAddress(const QHostInfo& info)
{
    for (const QHostAddress& a : info.addresses()) {  // IPv4 first: servers mostly listen there
        if (a.protocol() == QAbstractSocket::IPv4Protocol)
            return a;
    }
    return info.addresses().isEmpty() ? QHostAddress() : info.addresses().first();
}

namespace {
// How long the engine query waits for its answer; no answer leaves the unknown rule.
constexpr int EngineAnswerMs = 2000;

// The request budget's one question to a server it has not met, when its turn has come: an
// out-of-band "getstatus" from a socket of its own, whose answer names the engine.
void QueryEngine(const QHostAddress& address, int port)
{
    RequestScheduler& scheduler = RequestScheduler::instance();
    auto* client = new UdpClient(&scheduler);
    auto* deadline = new QTimer(client);
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, client, &QObject::deleteLater);
    QObject::connect(client, &UdpClient::error, client, &QObject::deleteLater);
    QObject::connect(client, &UdpClient::dataArrival, &scheduler, [&scheduler, client, address] {
        scheduler.learnEngine(address, client->getData());
        client->deleteLater();
    });
    if (client->open(address, port))
        client->send(BuildStatusRequest(QString::number(QRandomGenerator::global()->bounded(1000000, 9999999))));
    deadline->start(EngineAnswerMs);
}
}

ServerExchange* ServerExchange::ask(const ExchangeRequest& request, QObject* parent)
{
    auto* exchange = new ServerExchange(request, parent);
    QTimer::singleShot(0, exchange, &ServerExchange::start);
    return exchange;
}

ServerExchange* ServerExchange::prepare(const ExchangeRequest& request, QObject* parent)
{
    return new ServerExchange(request, parent);
}

ServerExchange::ServerExchange(const ExchangeRequest& request, QObject* parent)
    : QObject(parent)
    , m_request(request)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &ServerExchange::timedOut);
}

ServerExchange::~ServerExchange()
{
    if (m_lookupId >= 0)
        QHostInfo::abortHostLookup(m_lookupId);
    if (m_ticket)
        RequestScheduler::instance().cancel(m_ticket);
}

void ServerExchange::start()
{
    if (m_state != State::Starting)
        return;
    if (ShuttingDown())
        return finish(ExchangeOutcome::Cancelled);
    const QString host = m_request.host.trimmed();
    if (host.isEmpty() || m_request.port < 1 || m_request.port > 65535) {
        emit error(EDESTADDRREQ, UdpClient::describe(EDESTADDRREQ));
        if (host.isEmpty())
            return finish(ExchangeOutcome::NotResolved, UdpClient::describe(EDESTADDRREQ));
        return finish(ExchangeOutcome::NotResolved, QStringLiteral("The server port must be a number from 1 to 65535."));
    }
    QHostAddress literal;
    if (literal.setAddress(host))
        return resolved(literal);
    m_state = State::Resolving;
    m_lookupId = QHostInfo::lookupHost(host, this, &ServerExchange::lookedUp);
}

void ServerExchange::lookedUp(const QHostInfo& info)
{
    m_lookupId = -1;
    if (m_state != State::Resolving)
        return;
    const QHostAddress chosen = PreferredAddress(info);
    if (info.error() != QHostInfo::NoError || chosen.isNull()) {
        const QString text = info.errorString().isEmpty() ? QStringLiteral("Host not found") : info.errorString();
        emit error(EHOSTUNREACH, text);
        return finish(ExchangeOutcome::NotResolved, text);
    }
    resolved(chosen);
}

void ServerExchange::resolved(const QHostAddress& address)
{
    m_address = address;
    if (askForTurn())
        emit addressKnown();  // it went out, or holds its place in the server's queue
}

bool ServerExchange::askForTurn()
{
    m_state = State::Waiting;
    qint64 wait = 0;
    using Kind = RequestBudget::Kind;
    using Priority = RequestBudget::Priority;
    const bool automatic = m_request.priority == ExchangeRequest::Priority::Automatic;
    const Kind kind = m_request.outOfBand ? Kind::OutOfBand : Kind::Rcon;
    if (!RequestScheduler::instance().hasEngineQuery())
        RequestScheduler::instance().setEngineQuery(QueryEngine);
    if (RequestScheduler::instance().takeNow(m_address, m_request.port, kind, automatic ? Priority::Automatic : Priority::Typed)) {
        go();  // nothing waits for that server, and its budget takes a request now
        return true;
    }
    m_ticket = RequestScheduler::instance().requestTurn(m_address, m_request.port, kind,
        automatic ? Priority::Automatic : Priority::Typed, automatic ? m_request.skipIfWaitLongerMs : 0, [this] { go(); }, &wait);
    if (!m_ticket) {
        if (m_outcome.tries == 1)
            finish(ExchangeOutcome::Skipped);
        else  // an automatic read asked again, whose turn would come too late: over as it was
            giveUp(m_outcome.tries - 1);
        return false;
    }
    if (wait > 0)
        emit waiting(wait);
    // It holds its place in the server's queue: a request made after it comes after it.
    return true;
}

void ServerExchange::go()
{
    m_ticket = 0;
    if (m_state != State::Waiting)
        return;
    if (ShuttingDown())
        return finish(ExchangeOutcome::Cancelled);
    // Each try has a socket of its own: a late datagram of an earlier try is never taken
    // for a part of this one's answer.
    if (m_client) {
        m_client->close();
        m_client->deleteLater();
    }
    m_client = new UdpClient(this);
    connect(m_client, &UdpClient::dataArrival, this, &ServerExchange::arrived);
    connect(m_client, &UdpClient::error, this, [this](int number, const QString& description) {
        emit error(number, description);
        finish(ExchangeOutcome::Refused, description);
    });
    if (!m_client->open(m_address, m_request.port, m_request.localPort)
        || !m_client->send(m_request.outOfBand ? QByteArray("\xff\xff\xff\xff", 4) + m_request.command.toLatin1()
                                               : BuildRequest(m_request.password, m_request.command)))
        return;  // the error comes from the event loop, and with it the outcome
    m_state = State::Sent;
    m_sentAt.start();
    m_timer.start(m_request.firstDatagramMs);
    if (m_outcome.tries == 1)
        emit sent();  // once: a try after it is told by askingAgain()
}

int ServerExchange::boundLocalPort() const
{
    return m_client ? m_client->boundLocalPort() : 0;
}

void ServerExchange::raiseSocketError(int number)
{
    if (m_client)
        m_client->raiseSocketError(number);
}

void ServerExchange::arrived()
{
    const QByteArray datagram = m_client->getData();
    if (m_state == State::Over && m_request.keepListening)
        return emit datagramArrived(datagram, DecodeReply(datagram));  // the answer goes on after its quiet time
    if (m_state != State::Sent)
        return;
    if (m_outcome.datagrams.isEmpty())
        m_outcome.roundTripMs = m_sentAt.elapsed();
    m_outcome.datagrams << datagram;
    const QString text = DecodeReply(datagram);
    m_outcome.text += text;
    if (m_request.outOfBand)
        RequestScheduler::instance().learnEngine(m_address, datagram);
    m_answerBytes += datagram.size();
    emit datagramArrived(datagram, text);
    if (m_state != State::Sent)
        return;  // cancelled from a handler of the datagram
    if (m_answerBytes >= m_request.maxAnswerBytes || m_sentAt.elapsed() >= m_request.maxAnswerMs) {
        m_outcome.cut = true;
        return timedOut();
    }
    // The quiet time follows the line: a slow one spaces the datagrams of one answer too.
    m_timer.start(static_cast<int>(qMax<qint64>(m_request.quietMs, 2 * m_outcome.roundTripMs)));
}

void ServerExchange::timedOut()
{
    const bool read = IsReadOnly(m_request.command, m_request.outOfBand);
    if (m_outcome.datagrams.isEmpty()) {
        if (read && m_outcome.tries < MaxTries)
            return askAgain();
        return giveUp(m_outcome.tries);
    }
    const bool refusedPassword = !m_request.outOfBand && IsPasswordRefusal(DecodeReply(m_outcome.datagrams.first()));
    if (refusedPassword)
        return finish(ExchangeOutcome::BadPassword);
    if (read && !m_outcome.cut) {
        m_outcome.datagrams = OrderedByShape(m_request.command, m_request.outOfBand, m_outcome.datagrams);
        m_outcome.text.clear();
        for (const QByteArray& datagram : std::as_const(m_outcome.datagrams))
            m_outcome.text += DecodeReply(datagram);
        if (CheckShape(m_request.command, m_request.outOfBand, m_outcome.datagrams) == ShapeVerdict::Broken) {
            // Asked once more; broken again, it is given for what it is.
            m_outcome.incomplete = true;
            if (m_broken.datagrams.isEmpty() && m_outcome.tries < MaxTries) {
                m_broken = m_outcome;
                return askAgain();
            }
        }
    }
    m_outcome.incomplete = m_outcome.incomplete || m_outcome.cut;
    finish(ExchangeOutcome::Answered);
}

void ServerExchange::giveUp(int tries)
{
    if (m_broken.datagrams.isEmpty()) {
        m_outcome.tries = tries;
        return finish(ExchangeOutcome::NoAnswer);
    }
    // An earlier try's answer came broken and the last had none: that one is given.
    m_outcome = m_broken;
    m_outcome.tries = tries;
    finish(ExchangeOutcome::Answered);
}

void ServerExchange::askAgain()
{
    m_timer.stop();
    ++m_outcome.tries;
    m_outcome.datagrams.clear();
    m_outcome.text.clear();
    m_outcome.incomplete = false;
    m_outcome.roundTripMs = -1;
    m_answerBytes = 0;
    emit askingAgain(m_outcome.tries);
    askForTurn();  // a turn of its own in the server's budget, as the first try had
}

void ServerExchange::cancel()
{
    if (m_state == State::Over)
        return;
    // Nothing more goes out or is heard; the outcome is reported from the event loop.
    if (m_ticket)
        RequestScheduler::instance().cancel(m_ticket);
    m_ticket = 0;
    if (m_lookupId >= 0)
        QHostInfo::abortHostLookup(m_lookupId);
    m_lookupId = -1;
    m_state = State::Cancelling;
    m_timer.stop();
    if (m_client)
        m_client->close();
    QTimer::singleShot(0, this, [this] { finish(ExchangeOutcome::Cancelled); });
}

void ServerExchange::finish(ExchangeOutcome::Kind kind, const QString& errorText)
{
    if (m_state == State::Over)
        return;
    m_state = State::Over;
    m_timer.stop();
    if (m_client && !(m_request.keepListening && kind != ExchangeOutcome::Cancelled))
        m_client->close();
    if (m_ticket)
        RequestScheduler::instance().cancel(m_ticket);
    m_ticket = 0;
    m_outcome.kind = kind;
    m_outcome.errorText = errorText;
    m_outcome.address = m_address;
    // Reported from the event loop, never inside the call that started or cancelled it.
    QTimer::singleShot(0, this, [this] {
        ReportExchange(m_request, m_outcome, m_sentAt.isValid());
        emit finished(m_outcome);
        if (!m_request.keepListening)
            deleteLater();
    });
}
