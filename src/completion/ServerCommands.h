#pragma once
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

class ServerExchange;
struct ExchangeOutcome;

// Which console commands one server has, from its answer to "cmdlist": the windows enable
// an action only where the server has its command (a server's game code prints an unknown
// command to every player, so a private message or a ban sent to a server without it would
// be broadcast). The answer is kept with the names learned from that server (its names
// file), so a server is asked once, not at every opening.
class ServerCommands : public QObject {
    Q_OBJECT
public:
    explicit ServerCommands(QObject* parent = nullptr);

    // Binds to host:port: the commands come from that server's names file when it holds a
    // command list, otherwise "cmdlist" is asked once through the exchange unit with the
    // password (an automatic request). changed() follows when they are known.
    void bind(const QString& host, int port, const QString& password);
    QString host() const { return m_host; }
    int port() const { return m_port; }

    // True once the server's command list is known.
    bool known() const { return m_known; }
    // True when the list is known and holds `command` (letter case ignored).
    bool has(const QString& command) const;
    // For a disabled action's tooltip: "The server has no \"tell\" command.", or, while the
    // list is not known yet, a line saying so. Plain text.
    QString missingText(const QString& command) const;

signals:
    void changed();

private:
    void answered(const ExchangeOutcome& outcome);
    void learn(const QStringList& commands);

    QString m_host;
    int m_port = 0;
    bool m_known = false;
    QSet<QString> m_commands;  // lower case
    ServerExchange* m_asking = nullptr;
    QString m_problem;  // why the last request gave no list ("no answer", ...); empty otherwise
};
