#pragma once
#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <deque>
#include <functional>
#include <optional>

class QSocketNotifier;
class QHostInfo;

// The window's UDP socket: aimed at one server (remote host and port), sending from and
// listening on a local port, one datagram per send and per arrival.
//
// The socket is connected to the server, so only that server's datagrams are heard and a
// "port unreachable" answer comes back as an error. Host names resolve without blocking;
// sends wait for their name in the order they were made. Errors are reported through
// error() from the event loop, never from inside the call that caused them.
// The address a server's name is reached at: its first IPv4 address (servers mostly listen
// there), else its first address; null when it has none.
QHostAddress PreferredAddress(const QHostInfo& info);

class UdpClient : public QObject {
    Q_OBJECT
public:
    explicit UdpClient(QObject* parent = nullptr);
    ~UdpClient() override;

    void setRemoteHost(const QString& host);
    QString remoteHost() const { return m_remoteHost; }
    // Ports outside 1..65535 are refused: the call returns false and nothing changes.
    bool setRemotePort(int port);
    // No valid remote port: a send then reports an error instead of going to an earlier port.
    void clearRemotePort() { m_remotePort = 0; }
    int remotePort() const { return m_remotePort; }
    // The wanted local port (0: any). When another program holds it, the socket binds a
    // port that the system chooses instead, so a server on this machine stays reachable.
    bool setLocalPort(int port);
    int localPort() const { return m_localPort; }
    // The local port the socket is bound to now, 0 when closed.
    int boundLocalPort() const;

    // How a send takes its turn in the server's request budget (see RequestBudget): it
    // waits, behind the sends made before it, until the server would take it.
    struct Turn {
        bool automatic = false;        // gives way to typed requests
        qint64 skipIfLongerMs = 0;     // automatic: not sent at all when it would wait longer
        std::function<void(qint64 ms)> waiting;  // it must wait this long (> 0) for its turn
        std::function<void()> sent;              // it went out on the wire
    };

    // Sends one datagram to the remote host and port as they are now, at once.
    void sendData(const QByteArray& data);
    // The same, once the server's request budget allows: a send over the budget waits while
    // later ones to other servers, or typed ones before automatic ones, may go first. Returns
    // the send's number, which wentOut() gives when it goes. Once the program has begun to
    // close (ShuttingDown()), neither sends anything: this one then returns 0.
    quint64 sendData(const QByteArray& data, const Turn& turn);
    // How many sends went out so far: a change tells a new request from the rest of a reply.
    quint64 sendCount() const { return m_sendCount; }
    // How many sends were asked for so far, those still waiting for their turn included: the
    // number of the last one.
    quint64 queuedCount() const { return m_queuedCount; }
    // True while sends wait for their host name or their turn.
    bool hasWaitingSends() const { return !m_pending.empty(); }
    // The datagram that dataArrival() announced.
    QByteArray getData() const { return m_current; }
    // Closes the socket and drops sends still waiting for their host name.
    void close();
    bool isOpen() const { return m_fd >= 0; }
    // Reports an error as a read of the socket finds one ("port unreachable" from the
    // network): tests raise it here, since forging ICMP answers needs root.
    void raiseSocketError(int number);

signals:
    void dataArrival(qint64 bytesTotal);
    void error(int number, const QString& description);
    // A send went out on the wire; `number` is the one sendData() returned.
    void wentOut(quint64 number);

private:
    struct Pending {
        QString host;
        int port;
        int localPort;
        QByteArray data;
        QHostAddress address;  // null until resolved
        int lookupId = -1;
        quint64 number = 0;
        std::optional<Turn> turn;  // none: goes at once
        quint64 ticket = 0;        // waits for its turn in the server's budget
    };
    void pump();
    void pumpOnce();
    std::deque<Pending>::iterator find(quint64 number);
    void deliver(const Pending& p);
    void lookedUp(const QHostInfo& info);
    bool transmit(const Pending& p);
    void turnCame(quint64 number);
    bool aim(const QHostAddress& address, int port, int localPort);
    void readPending();
    void closeSocket();
    void reportLater(int number, const QString& description);

    QString m_remoteHost;
    int m_remotePort = 0;
    int m_localPort = 0;
    std::deque<Pending> m_pending;
    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    QHostAddress m_aimedAddress;
    int m_aimedPort = 0;
    int m_aimedLocalPort = -1;
    QByteArray m_current;
    quint64 m_sendCount = 0;
    quint64 m_queuedCount = 0;
    bool m_pumping = false;
    bool m_pumpAgain = false;
};
