#pragma once
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// The saved rcon password in the desktop's keyring (the Secret Service: GNOME Keyring,
// KeePassXC; or KWallet), through QtKeychain, under the service "telmorax last server's rcon
// password", the name a keyring manager shows (an earlier version's entry under "telmorax"
// moves there at the next start). The settings file keeps the password only where there is
// no keyring service at all.
//
// The window never waits on the keyring while it is open: the keyring's password arrives
// through found() whenever the keyring answers, and a password the server has accepted is
// written in the background (remember()). Only a write still due at close is waited for, at
// most the close allowance, with the window hidden.
class PasswordVault : public QObject {
    Q_OBJECT
public:
    static const QString Service;  // "telmorax last server's rcon password"
    static const QString Entry;    // the entry's name within the service (QtKeychain's key)
    // How long a close waits for the keyring (30 s); tests shorten it.
    static void setCloseWaitMs(int ms);

    explicit PasswordVault(QObject* parent = nullptr);

    // At start, when the password is to be saved. A password the settings file still holds
    // (left there by an earlier version, or where there was no keyring) is newer than the
    // keyring's: it is written to the keyring, read back, and only when it came back whole
    // is it emptied from the settings file. Otherwise the keyring's password, if any, is
    // handed to found().
    void restore(const QString& filePassword);

    // A request with this password had an answer other than the server's refusal: the
    // keyring gets it in the background, unless it holds it already. Nothing starts once
    // the close has begun.
    void remember(const QString& password);

    // At close: keeps the password in the keyring (save, not empty) or takes it out of there.
    // Gives what the settings file is to hold: "" when nothing is to be saved or the keyring
    // has it, the password itself where there is no keyring service, and nothing (leave the
    // file as it is) when the keyring did not take it in time, refused it (now, or when it was
    // remembered: the user is not asked twice), or the start's keyring work has not been
    // answered and the password is still the one of the start.
    // `beforeWaiting` runs once before the close waits for the keyring, if it has to.
    std::optional<QString> store(bool save, const QString& password, const std::function<void()>& beforeWaiting);
    // Before the close: true when store() with these is to put the password into the settings
    // file (there is no keyring service at all) and the file does not hold it already.
    bool goesToFile(bool save, const QString& password) const;

    // True when the session bus has a keyring service (running or startable).
    static bool KeyringServiceExists();

signals:
    void found(const QString& password);
    void writesDone();  // no write to the keyring is running or waiting

private:
    void write(const QString& password);
    bool waitUntil(const std::function<bool()>& done);

    bool m_settled = true;    // the start's keyring work has had its answer
    bool m_mayHold = false;   // the keyring may hold a password of ours
    QString m_startPassword;  // the password the window started with
    std::optional<QString> m_inKeyring;  // what the keyring is known to hold
    bool m_writing = false;              // a write is running
    std::optional<QString> m_nextWrite;  // the write to start when it is over
    QString m_remembered;                // the last password handed to remember()
};
