#pragma once
#include <QString>
#include <QStringList>

#include "settings/SettingsStore.h"

// A history of entries in numbered slots of the settings section: slot 1 is filled first,
// a slot holding "" (or absent) is free. Entries are kept exactly as they were handed over
// and compared exactly (letter case and spaces count). Every call reads the slots afresh.
struct History {
    enum class WhenFull {
        SaveAsOverflow,  // the entry goes to the query-server section's overflow key only
        ReplaceSlot1,    // the entry replaces slot 1; slots 2 and up stay
    };
    QString (*slotKey)(int n);
    int slotCount;
    WhenFull whenFull;
};

// The server addresses: 15 slots, the overflow goes to the query-server section.
const History& AddressHistory();
// The server ports: 10 slots, the overflow replaces slot 1.
const History& PortHistory();

// The entries of the taken slots in slot order, free slots skipped.
QStringList LoadHistory(const History& history);

// Whether some slot holds exactly this entry.
bool IsInHistory(const History& history, const QString& entry);

// Saves the entry in the first free slot, or where a full history puts it. False when the
// store refused the write (a write Soon is not refused).
bool StoreInHistory(const History& history, const QString& entry, When when = When::Now);

// Saves "" in every slot, in slot order, going on past a refused write. True when the
// store took every one of them.
bool ClearHistory(const History& history);
