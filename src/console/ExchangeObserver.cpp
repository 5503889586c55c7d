#include "console/ExchangeObserver.h"

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
};
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
    // A note whose command never went stays only until a few more are noted.
    if (list.size() >= 4096)
        list.removeFirst();
    list.append({serverOf(host, port), command.trimmed(), note});
}

JournalNote TakeNote(const QString& host, int port, const QString& command)
{
    auto& list = expected();
    const QString server = serverOf(host, port);
    for (int i = 0; i < list.size(); ++i) {
        if (list[i].server == server && list[i].command == command.trimmed())
            return list.takeAt(i).note;
    }
    return JournalNote();
}
