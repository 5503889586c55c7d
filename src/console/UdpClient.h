#pragma once
#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

class QSocketNotifier;

// A UDP socket connected to one server: only that server's datagrams are heard, and a "port
// unreachable" answer comes back as an error. Only the exchange unit (ServerExchange) uses it,
// for its requests and for the request budget's engine query; nothing else has a socket.
//
// Errors are reported through error() from the event loop, never from inside the call that
// caused them (except those a read of the socket finds, which come as the read does).
class UdpClient : public QObject {
    Q_OBJECT
public:
    explicit UdpClient(QObject* parent = nullptr);
    ~UdpClient() override;

    // Binds `localPort` (0: any) and connects to address:port. When another program holds
    // the local port, the system chooses one instead, so a server on this machine stays
    // reachable; one that is not running (whose port the socket would then take, and so hear
    // its own request as the answer) gets a port of the system's choosing too. False, with
    // the error reported, when no socket could be made.
    bool open(const QHostAddress& address, int port, int localPort = 0);
    // Sends one datagram on the open socket; false, with the error reported, when it failed.
    bool send(const QByteArray& data);
    // The local port the socket is bound to now, 0 when closed.
    int boundLocalPort() const;
    // The datagram that dataArrival() announced.
    QByteArray getData() const { return m_current; }
    void close();
    bool isOpen() const { return m_fd >= 0; }
    // Reports an error as a read of the socket finds one ("port unreachable" from the
    // network): tests raise it here, since forging ICMP answers needs root.
    void raiseSocketError(int number);
    // The words for an error number, as error() gives them.
    static QString describe(int number);

signals:
    void dataArrival(qint64 bytesTotal);
    void error(int number, const QString& description);

private:
    bool bindAndConnect(const QHostAddress& address, int port, int localPort);
    void readPending();
    void reportLater(int number, const QString& description);

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    QByteArray m_current;
};
