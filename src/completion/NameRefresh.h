#pragma once
#include "completion/NameLists.h"
#include "console/BoundServer.h"
#include "console/ServerAddress.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

class ConsoleSession;

// The server that the main window's address and port boxes name now.
ServerBoxes ReadWindowServer(const MainWindowBoxReader& boxes);

// View, Refresh Names From Server: sends "cmdlist" and then "cvarlist" through the window's
// Send, so that both show in the pane and the log like any command, reads the names from
// every datagram of the two answers, and keeps them in the user's folder for that server.
//
// The second request waits until the first answer is over (no datagram for a second), which
// also keeps the two within the server's rcon rate limit. Another request sent meanwhile, a
// request with no answer, or an answer without names ends the refresh and the names kept so
// far stay; a line in the pane says how it ended.
//
// An answer is read up to a limit of bytes and of time, and up to MaxNamesOfEachKind names;
// past one the refresh ends there, keeps the names read so far and says which limit it met.
class NameRefresh : public QObject {
    Q_OBJECT
public:
    // `sendAsTyped` sends a command through the main window's Send, as if typed (with its
    // checks, which may refuse it); the requests and their answers are the session's.
    using Send = std::function<void(const QString& command)>;
    NameRefresh(ConsoleSession* session, MainWindowBoxReader boxes, Send sendAsTyped, QObject* parent = nullptr);
    void start();
    bool running() const { return m_step != Idle; }

    struct Limits {
        qint64 answerBytes = 4 * 1024 * 1024;
        qint64 answerMs = 30 * 1000;
    };
    static Limits limits;  // tests may lower them

signals:
    void learned();  // names were kept for a server
    void runningChanged(bool running);
    void note(const QString& line);  // how the refresh ended, for the pane

private:
    enum Step { Idle, Commands, Variables };
    bool send(const QString& command);
    void datagram(quint64 number, const QByteArray& data);
    void answerOver();
    QString asked() const;
    // Reads the names of the answer so far; `limit`: the limit it met, which ends the refresh.
    void readAnswer(QString limit);
    void keep(const QString& stopped);
    void finish(const QString& note);

    ConsoleSession* m_session;
    MainWindowBoxReader m_boxes;
    Send m_send;
    QTimer m_timer;
    Step m_step = Idle;
    quint64 m_sendCount = 0;  // the number of the request sent last
    bool m_out = false;       // it went out
    QString m_answer;
    qint64 m_answerBytes = 0;
    QElapsedTimer m_answerTime;
    QString m_host;
    int m_port = 0;
    NameLists m_names;
};
