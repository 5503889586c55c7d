#include "console/ExchangeObserver.h"

#include <QElapsedTimer>
#include <QList>

namespace {
ExchangeObserver& observer()
{
    static ExchangeObserver o;
    return o;
}
}

void SetExchangeObserver(ExchangeObserver o)
{
    observer() = std::move(o);
}

void ReportExchange(const ExchangeRequest& request, const ExchangeOutcome& outcome, bool wentOut)
{
    if (observer())
        observer()(request, outcome, wentOut);
}

namespace {
struct Expected {
    QString server;
    QString command;
    JournalNote note;
    QElapsedTimer age;
};
// A note whose command never went (no password, cancelled) is not kept for a later one.
constexpr qint64 NoteLifeMs = 120000;
QList<Expected>& expected()
{
    static QList<Expected> list;
    return list;
}
QString serverOf(const QString& host, int port)
{
    return host.trimmed().toLower() + QLatin1Char(':') + QString::number(port);
}
}

void ExpectNote(const QString& host, int port, const QString& command, const JournalNote& note)
{
    auto& list = expected();
    while (!list.isEmpty() && (list.size() >= 4096 || list.first().age.hasExpired(NoteLifeMs)))
        list.removeFirst();
    Expected e{serverOf(host, port), command.trimmed(), note, QElapsedTimer()};
    e.age.start();
    list.append(e);
}

JournalNote TakeNote(const QString& host, int port, const QString& command)
{
    auto& list = expected();
    const QString server = serverOf(host, port);
    for (int i = 0; i < list.size(); ++i) {
        if (list[i].server == server && list[i].command == command.trimmed() && !list[i].age.hasExpired(NoteLifeMs))
            return list.takeAt(i).note;
    }
    return JournalNote();
}
