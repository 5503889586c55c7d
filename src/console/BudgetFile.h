#pragma once
#include <QHash>
#include <QString>

// What has been spent from a server's allowance (see RequestBudget), on a clock given by
// the caller (ms).
struct BudgetState {
    bool full = true;      // nothing spent yet
    qint64 credit = 0;     // ms of refill time banked, a request costing the rule's refill time
    qint64 at = 0;         // when the credit was counted
    qint64 lastRcon = -1;  // when the last rcon request went; -1: none yet
    bool operator==(const BudgetState& o) const { return full == o.full && credit == o.credit && at == o.at && lastRcon == o.lastRcon; }
};

// Every run of the program on this machine (the window, a second window, each command-line
// run) spends the same servers' allowances, so what each server's budget has spent is kept
// in one small file in the user's runtime folder, $XDG_RUNTIME_DIR/telmorax, readable by the
// user alone and locked while it is read and written. Its times are CLOCK_MONOTONIC
// milliseconds, which mean the same in every process. Nothing read from it is trusted: a
// damaged file counts as empty, a damaged line as absent. Without a runtime folder, or when
// the file cannot be used, each process keeps its own budgets.
//
// The file holds the state of each server address, one a line, under a first line that names
// the format; never a password.
class BudgetFile {
public:
    // Opens, locks and reads the file (isOpen() false when there is none to be had).
    BudgetFile();
    // Writes back what changed and unlocks.
    ~BudgetFile();
    BudgetFile(const BudgetFile&) = delete;
    BudgetFile& operator=(const BudgetFile&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    // The state the file holds for a server address, when it holds a sound one.
    const BudgetState* find(const QString& key) const;
    void put(const QString& key, const BudgetState& state);

    // Where the file is; empty without a runtime folder.
    static QString path();
    // The clock of the states: CLOCK_MONOTONIC, in ms.
    static qint64 now();

private:
    void read();
    void write();

    int m_fd = -1;
    qint64 m_now = 0;
    QHash<QString, BudgetState> m_states;
    bool m_changed = false;
};
