#pragma once
#include <QProcess>
#include <QTemporaryDir>

// A real Quake 3 engine dedicated server (Debian's openarena-server) on 127.0.0.1 and a
// free port, with its own rcon password and a temporary home. Always stopped when the
// object goes away, whether the test passed or not.
class OpenArenaServer {
public:
    explicit OpenArenaServer(const QString& rconPassword);
    ~OpenArenaServer();
    OpenArenaServer(const OpenArenaServer&) = delete;
    OpenArenaServer& operator=(const OpenArenaServer&) = delete;

    // Starts the server and waits until it answers a status query. False with errorText()
    // set when the server is not installed or does not come up.
    bool start(int timeoutMs = 60000);
    // Before start(): the server listens on ::1 too, on the same port number.
    void listenOnIPv6Too() { m_ipv6 = true; }
    // Before start(): one more variable set on the server's command line.
    void set(const QString& name, const QString& value) { m_settings << name << value; }
    void stop();

    quint16 port() const { return m_port; }
    QString password() const { return m_password; }
    QString errorText() const { return m_error; }

    // Everything the server printed so far.
    QString output();
    // Waits until the server's output contains `text`.
    bool waitForOutput(const QString& text, int timeoutMs = 10000);

    // Asks the server directly, without the program: an rcon command, returning the text of
    // all reply datagrams (headers removed) that arrive within `quietMs` of each other.
    QByteArray rcon(const QString& command, int quietMs = 500);

    // Adds bots until the server has `count` players (at most 16; set sv_maxclients above 8 before
    // start() for more than 8), so that its status table comes in two datagrams from 14 on. False
    // when they did not all come within 30 seconds.
    bool addBots(int count);
    // True when `text` is the whole status table of this server's map with `count` bots, as the
    // program prints it without colours: the map line, the header, the dashes, the rows in client
    // order, the empty line.
    static bool IsWholeStatus(const QString& text, int count);

    static QString executable();  // empty when not installed

private:
    QTemporaryDir m_home;
    QProcess m_process;
    QString m_password;
    quint16 m_port = 0;
    bool m_ipv6 = false;
    QStringList m_settings;
    QString m_error;
    QByteArray m_output;
};
