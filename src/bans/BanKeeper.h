#pragma once
#include <QHash>
#include <QList>
#include <QSet>
#include <QObject>
#include <QString>

#include <functional>

class QTimer;
class ServerPasswords;
namespace Memory {
struct Ban;
}

// Lifts the bans the memory holds whose time has come (see Memory::DueBans), each on its own
// server: the server's ban list is read first ("listbans"), as the Bans window reads it, and
// a ban still listed is lifted with "bandel ADDRESS/PREFIX", which the journal records as an
// expiry; a ban the server no longer lists is marked lifted elsewhere. The password is the
// server's saved one from the keyring, else what the password source gives for it (the main
// window's box, the command line's password). A ban that cannot be lifted now (no password,
// no answer) is tried again a minute later. Several programs may keep the same memory (a
// team database): each ban is first claimed (see Memory::ClaimBan), and only the program
// that holds the claim lifts it; a claim not finished lapses after Memory::ClaimMinutes.
class BanKeeper : public QObject {
    Q_OBJECT
public:
    static constexpr int NoPassword = -1;
    using PasswordSource = std::function<QString(const QString& host, int port)>;
    explicit BanKeeper(QObject* parent = nullptr);
    void setPasswordSource(PasswordSource source) { m_source = std::move(source); }

    // Lifts what is due now, then each ban as it falls due, until the object goes.
    void keep();
    // One pass over the bans due now; passDone() once every one of them is lifted or failed.
    void liftDue();

signals:
    // A line for the admin: what was lifted, what could not be and why.
    void told(const QString& line);
    // The pass is over: each due ban's outcome (an ExchangeOutcome::Kind, or NoPassword).
    void passDone(const QList<int>& outcomes);

private:
    void lift(const Memory::Ban& ban);
    void withPassword(const Memory::Ban& ban, const QString& host, int port, const QString& password);
    void done(qint64 banId, int outcome);

    ServerPasswords* m_passwords;
    PasswordSource m_source;
    QTimer* m_timer;
    const QString m_claimant;  // this keeper, as its claims name it: admin@desktop and a key of its own
    QHash<qint64, qint64> m_busy;  // a ban being lifted, or when it may be tried again
    int m_inPass = 0;
    QList<int> m_outcomes;
    QSet<qint64> m_toldNoPassword;  // said once a run
    bool m_passing = false;
};
