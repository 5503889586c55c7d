#pragma once
#include <QSqlDatabase>

// A team database's server that stops without closing its connections (a frozen process, a
// network that drops every datagram) would keep a statement waiting for ever: the machine's
// TCP stack answers for it. While a TeamWatch lives, the connection is cut when the server
// has not answered for WatchSeconds; the statement then fails as on a lost connection, and
// what it was sending stays in the outbox. Nothing for a connection to the local file.
namespace Memory {

constexpr int WatchSeconds = 15;

class TeamWatch {
public:
    explicit TeamWatch(const QSqlDatabase& db);
    ~TeamWatch();
    TeamWatch(const TeamWatch&) = delete;
    TeamWatch& operator=(const TeamWatch&) = delete;

private:
    int m_socket = -1;
};

}
