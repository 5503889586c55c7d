#pragma once
#include <QUdpSocket>

// A stand-in server on 127.0.0.1: records every datagram it receives, and can answer.
class LoopbackServer {
public:
    struct Datagram {
        QByteArray data;
        QHostAddress sender;
        quint16 senderPort;
    };

    explicit LoopbackServer(quint16 port = 0);  // 0: a free port
    // On another loopback address (127.0.0.2, ...): a server of its own to the request budget,
    // which counts requests per address.
    explicit LoopbackServer(const QHostAddress& address, quint16 port = 0);
    QHostAddress address() const { return m_socket.localAddress(); }
    quint16 port() const { return m_socket.localPort(); }

    // Waits (running the event loop) until at least `count` datagrams arrived in all.
    bool waitForDatagrams(int count, int timeoutMs = 5000);
    QList<Datagram>& received() { return m_received; }

    // Sends `data` to where the last datagram came from.
    void reply(const QByteArray& data);
    void sendTo(const QByteArray& data, const QHostAddress& address, quint16 port);

private:
    void drain();
    QUdpSocket m_socket;
    QList<Datagram> m_received;
};

// The reply layout of a Quake 3 server: FF FF FF FF "print" LF, then the text.
QByteArray PrintReply(const QByteArray& text);

// The whole answer to "status" of a server with nobody on it, and the same as the output pane
// shows it (CR LF line ends).
extern const QByteArray EmptyStatus;
QString EmptyStatusShown();
