#include "bans/BanKeeper.h"

#include "console/BanList.h"
#include "console/BoundServer.h"
#include "console/ExchangeObserver.h"
#include "console/ServerAddress.h"
#include "console/ServerExchange.h"
#include "console/ServerList.h"
#include "console/ServerPasswords.h"
#include "memory/MemoryDatabase.h"
#include "memory/Queries.h"
#include "memory/Recorder.h"

#include <QTimer>
#include <QUuid>

namespace {
constexpr qint64 RetryMs = 60000;

ExchangeRequest request(const QString& host, int port, const QString& password, const QString& command, ExchangeRequest::Priority priority)
{
    ExchangeRequest r = BoundRequest(BoundServer{host, port, password}, command, priority);
    r.firstDatagramMs = 3000;
    return r;
}
}

BanKeeper::BanKeeper(QObject* parent)
    : QObject(parent)
    , m_passwords(new ServerPasswords(this))
    , m_timer(new QTimer(this))
    , m_claimant(Memory::AdminName() + QLatin1Char('@') + Memory::DesktopName() + QLatin1Char(' ') + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &BanKeeper::liftDue);
}

void BanKeeper::keep()
{
    m_timer->start();
    liftDue();
}

void BanKeeper::liftDue()
{
    if (m_passing)
        return;
    const qint64 now = Memory::Now();
    QList<Memory::Ban> due;
    for (const Memory::Ban& ban : Memory::DueBans(now, m_claimant)) {
        // Of several programs on one memory, only the one that claims a ban lifts it.
        if (m_busy.value(ban.id, 0) <= now && m_busy.value(ban.id, 0) >= 0 && Memory::ClaimBan(ban.id, m_claimant))
            due.append(ban);
    }
    m_outcomes.clear();
    if (due.isEmpty()) {
        emit passDone(m_outcomes);
        return;
    }
    m_passing = true;
    m_inPass = int(due.size());
    for (const Memory::Ban& ban : due) {
        m_busy.insert(ban.id, -1);
        lift(ban);
    }
}

void BanKeeper::lift(const Memory::Ban& ban)
{
    const ServerAddress a = SplitServerAddress(ban.server);
    const QString host = a.host;
    const int port = a.port.toInt();
    m_passwords->read(host, port, this, [=](const QString& saved) {
        withPassword(ban, host, port, saved.isEmpty() && m_source ? m_source(host, port) : saved);
    });
}

void BanKeeper::withPassword(const Memory::Ban& ban, const QString& host, int port, const QString& password)
{
    if (password.isEmpty()) {
        if (!m_toldNoPassword.contains(ban.id))
            emit told(tr("The ban of %1 on %2 is due, but no password is saved for that server: it is tried again every minute.").arg(ban.target, ban.server));
        m_toldNoPassword.insert(ban.id);
        return done(ban.id, NoPassword);
    }
    ServerExchange* list = ServerExchange::ask(request(host, port, password, QStringLiteral("listbans"), ExchangeRequest::Priority::Automatic), this);
    connect(list, &ServerExchange::finished, this, [=](const ExchangeOutcome& outcome) {
        if (outcome.kind != ExchangeOutcome::Answered) {
            emit told(tr("The ban of %1 on %2 is due, but its ban list could not be read: %3.").arg(ban.target, ban.server, ExchangeOutcome::words(outcome.kind)));
            return done(ban.id, outcome.kind);
        }
        BanEntry wanted;
        wanted.address = ban.target.section(QLatin1Char('/'), 0, 0);
        wanted.prefix = ban.target.section(QLatin1Char('/'), 1).toInt();
        bool listed = false;
        for (const BanEntry& e : ReadBanList(outcome.text))
            listed = listed || e.sameAs(wanted);
        if (!listed) {
            Recorder::MarkLiftedElsewhere(ban.id);
            emit told(tr("The ban of %1 on %2 was due, and the server no longer lists it.").arg(ban.target, ban.server));
            return done(ban.id, ExchangeOutcome::Answered);
        }
        const QString command = RemoveCommand(wanted);
        JournalNote note;
        note.address = ban.target;
        note.reason = ban.reason;
        note.expiry = true;
        ExpectNote(host, port, command, note);
        ServerExchange* remove = ServerExchange::ask(request(host, port, password, command, ExchangeRequest::Priority::Typed), this);
        connect(remove, &ServerExchange::finished, this, [=](const ExchangeOutcome& removed) {
            if (removed.kind == ExchangeOutcome::Answered)
                emit told(tr("The ban of %1 on %2 ran out and was lifted.").arg(ban.target, ban.server));
            else
                emit told(tr("The ban of %1 on %2 ran out, but lifting it failed: %3.").arg(ban.target, ban.server, ExchangeOutcome::words(removed.kind)));
            done(ban.id, removed.kind);
        });
    });
}

void BanKeeper::done(qint64 banId, int outcome)
{
    if (outcome == ExchangeOutcome::Answered)
        m_busy.remove(banId);
    else
        m_busy.insert(banId, Memory::Now() + RetryMs);
    m_outcomes.append(outcome);
    if (--m_inPass > 0)
        return;
    m_passing = false;
    Recorder::Flush();  // what the pass wrote is in the memory before the next pass reads it
    emit passDone(m_outcomes);
}
