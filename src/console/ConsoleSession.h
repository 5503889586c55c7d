#pragma once
#include "console/BoundServer.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class ErrorBurst;
class ServerExchange;

// The main window's console: the commands it sends and what it shows of them, without a
// widget. Every request goes through the exchange unit (ServerExchange) and so takes its turn
// in the server's request budget; the session says through its signals what the pane shows.
//
// A request's echo line ("TIME : COMMAND") shows at once, a line says how long it waits for
// the server's request limit when it must, and the log records the command when it goes out.
// The answer's datagrams show one by one as they come, but a read whose answer has a known form
// (see AnswerShape) shows once it is over, whole and in order, in one piece; an answer makes one
// reply, and one log record, ended after a second without another datagram, or by the first
// datagram of the next request. An answer shows right under its echo line; when another request's echo or answer
// came between, a line naming its command goes first, so that two answers that overlap in
// time never mix. When nothing at all comes back for a
// request (no datagram, no error) within the exchange's wait, a line says so, and whether the
// command may have run (not logged); an answer that came incomplete, or was cut at the
// exchange's limits, says so under it. Each request has a socket of its own: the latest keeps
// listening, so a reply that goes on after a pause still shows; an earlier one listens until
// its answer is over.
class ConsoleSession : public QObject {
    Q_OBJECT
public:
    static constexpr int ReplyQuietMs = 1000;

    explicit ConsoleSession(QObject* parent = nullptr);
    ~ConsoleSession() override;

    // Save Log: commands, replies and errors go to the log from now on.
    void setLogging(bool on) { m_logging = on; }
    // The main window's boxes, for the note that says where a bound window's action went.
    void setShownServer(MainWindowBoxReader boxes) { m_boxes = std::move(boxes); }

    // Sends `command` with `password` to host:port, a request typed by the admin; `note`
    // follows the command in its echo line and log record. Returns the request's number
    // (0 once the program has begun to close: nothing is sent then).
    quint64 send(const QString& host, int port, const QString& password, const QString& command, const QString& note = QString(),
        QObject* asker = nullptr);
    // An action of a window bound to one server, connected to this slot: sent as send() sends
    // it; where the main window's boxes name another server, the echo line says which server
    // it went to. Its answer goes to that window too (actionAnswered).
    void sendTo(const QString& host, int port, const QString& password, const QString& command);
    // The timed query: "status", giving way to typed requests, left out when it would wait
    // for the server's request limit longer than `skipIfLongerMs`. It shows and is logged
    // when it goes out. A password the server refused is not sent again by it (servers count
    // refused passwords from everyone together, and a loop of them can shut other admins
    // out): a line says so once, until the password or the server changes.
    void queryStatus(const QString& host, int port, const QString& password, qint64 skipIfLongerMs);

    // The password box changed: a password a server refused may be right now.
    void forgetRefusal() { m_refusedPassword.clear(); }

    // The number of the latest request asked for.
    quint64 lastRequest() const { return m_lastRequest; }
    // True while request `number` waits for its server's name or its turn.
    bool waiting(quint64 number) const;
    // True while request `number` went out and its answer, shown once it is over, is not yet.
    bool holding(quint64 number) const;
    bool replyOpen() const { return m_replyOpen; }
    // The exchange whose answer is heard now (the latest that went out); none before.
    // Earlier ones listen on until their answer is over.
    ServerExchange* listening() const;
    // Ends the reply now arriving: its log record is closed.
    void endReply();
    // Shows the line of the socket errors counted so far, if any.
    void endErrors();
    // A line of the window's own for the pane (without its line end): what follows it is
    // told apart from it.
    void note(const QString& text);

signals:
    // A line of the session's own for the pane, its line end included: an echo line, the
    // waiting note, a socket error, the line that names the command an answer answers. It
    // goes on a line of its own, after an answer's last line even where that was cut short.
    void line(const QString& text);
    // A datagram's text, or a whole answer's (see above); `continues`: it goes on with the reply
    // before it (and its colour).
    void replyText(const QString& text, bool continues);
    // The first datagram of an answer to a request sent with `password`, as text.
    void passwordAnswered(const QString& password, const QString& firstDatagram);
    // A socket error, or a server name that did not resolve, as its line shows it.
    void socketError(const QString& description);
    // A datagram of the answer to an action of `window` (sendTo), or its whole answer: its text
    // as the pane shows it, `first` for the first text of the answer.
    void actionAnswered(QObject* window, const QString& text, bool first);
    // The answer to an action of `window` (sendTo) is over, or never came: its outcome.
    void actionOver(QObject* window, const QString& command, const ExchangeOutcome& outcome);
    // Request `number` went out; a datagram of its answer came (as it came, also where the pane
    // shows the answer once it is over).
    void requestSent(quint64 number);
    void datagramArrived(quint64 number, const QByteArray& datagram);

private:
    struct Request {
        quint64 number;
        ExchangeRequest request;
        QString time;     // typed: the echo line's, and the log record's
        QString note;
        bool logged;      // Save Log was checked when it was asked for
        QPointer<QObject> asker;  // the window whose action it is (sendTo)
        QString server;           // "host:port"
        ServerExchange* exchange = nullptr;  // none while an earlier name still resolves
        bool resolving = false;
        bool sent = false;
        bool over = false;  // the exchange reported its outcome
        bool heard = false; // a datagram of its answer came
        QList<QByteArray> late;  // came after an answer held until over, before its outcome
    };
    quint64 ask(Request request);
    // Names resolve one at a time, in the order the requests were made: a request's exchange
    // starts once the one before it knows its server's address.
    void startNext();
    void start(quint64 number);
    void over(quint64 number);
    void wentOut(quint64 number);
    quint64 latestSent() const;
    void drop(quint64 number);
    void announce(const Request& r);
    // Emits line(); `request`: the request the line belongs to (its echo, its wait), if any.
    void show(const QString& text, quint64 request = 0);
    // A line naming the request's command, unless what the pane shows last is its own.
    void under(const Request& r);
    // The line for an answer that did not come, or came broken.
    void tell(const Request& r, const ExchangeOutcome& outcome);
    // The text of a datagram as it came, or of a whole answer held until it was over; and that
    // of its first datagram.
    void arrived(quint64 number, const QString& text, const QString& firstText);
    const Request* find(quint64 number) const;
    Request* find(quint64 number);

    bool m_logging = false;
    MainWindowBoxReader m_boxes;
    ErrorBurst* m_errors;
    QList<Request> m_requests;  // waiting ones, and the one heard now
    quint64 m_lastRequest = 0;
    bool m_starting = false;
    QTimer m_quiet;
    bool m_replyOpen = false;
    bool m_replyLogged = false;
    quint64 m_replyOf = 0;
    QPointer<QObject> m_replyAsker;
    quint64 m_shownOf = 0;  // the latest request whose line or answer the pane shows; 0: none
    QString m_refusedPassword;  // the password a server refused, and that server
    QString m_refusedServer;
    bool m_refusalSaid = false;
};
