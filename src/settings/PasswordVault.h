#pragma once
#include <QObject>
#include <QString>

// The saved rcon password in the desktop's keyring (the Secret Service: GNOME Keyring,
// KWallet, KeePassXC), through QtKeychain, under the service "telmorax". Where no keyring
// answers, the settings file keeps the password as before: the caller writes there what
// store() returns.
//
// The window never waits on the keyring at start: the keyring's password arrives through
// found() whenever the keyring answers. At close it waits at most WaitMs for the keyring;
// a keyring that has not answered by then counts as none.
class PasswordVault : public QObject {
    Q_OBJECT
public:
    static const QString Service;  // "telmorax"
    static const QString Entry;    // the entry's name within the service (QtKeychain's key)
    static constexpr int WaitMs = 2000;

    explicit PasswordVault(QObject* parent = nullptr);

    // At start, when the password is to be saved. A password the settings file still holds
    // (left there by an earlier version, or by a close that found no keyring) is newer than
    // the keyring's: it is written to the keyring, read back, and only when it came back
    // whole is it emptied from the settings file. Otherwise the keyring's password, if any,
    // is handed to found().
    void restore(const QString& filePassword);

    // At close: keeps the password in the keyring (save, not empty) or takes it out of there.
    // Gives what the settings file is to hold: "" when nothing is to be saved or the keyring
    // took it, the password itself when no keyring did.
    QString store(bool save, const QString& password);

signals:
    void found(const QString& password);

private:
    bool m_settled = true;    // the start's keyring work has had its answer
    bool m_mayHold = false;   // the keyring may hold a password of ours
    QString m_startPassword;  // the password the window started with
};
