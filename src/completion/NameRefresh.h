#pragma once
#include "completion/NameLists.h"
#include "console/ServerAddress.h"

#include <QObject>
#include <QTimer>

class frmMain;

// The server that the window's address and port boxes name now.
ServerBoxes ReadWindowServer(const frmMain* window);

// View, Refresh Names From Server: sends "cmdlist" and then "cvarlist" through the window's
// Send, so that both show in the pane and the log like any command, reads the names from
// every datagram of the two answers, and keeps them in the user's folder for that server.
//
// The second request waits until the first answer is over (no datagram for a second), which
// also keeps the two within the server's rcon rate limit. Another request sent meanwhile, a
// request with no answer, or an answer without names ends the refresh and the names kept so
// far stay; a line in the pane says how it ended.
class NameRefresh : public QObject {
    Q_OBJECT
public:
    explicit NameRefresh(frmMain* window, QObject* parent = nullptr);
    void start();
    bool running() const { return m_step != Idle; }

signals:
    void learned();  // names were kept for a server

private:
    enum Step { Idle, Commands, Variables };
    bool send(const QString& command);
    void datagram();
    void answerOver();
    void finish(const QString& note);

    frmMain* m_window;
    QTimer m_timer;
    Step m_step = Idle;
    quint64 m_sendCount = 0;  // the number of the request sent last
    bool m_out = false;       // it went out
    QString m_answer;
    QString m_host;
    int m_port = 0;
    NameLists m_names;
};
