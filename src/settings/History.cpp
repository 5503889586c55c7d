#include "settings/History.h"
#include "settings/SettingsStore.h"

const History& AddressHistory()
{
    static const History h{&Key::AddressSlot, Key::AddressSlots, History::WhenFull::SaveAsOverflow};
    return h;
}

const History& PortHistory()
{
    static const History h{&Key::PortSlot, Key::PortSlots, History::WhenFull::ReplaceSlot1};
    return h;
}

namespace {
// Slot n's entry at index n - 1.
QStringList readSlots(const History& history)
{
    QStringList keys;
    for (int n = 1; n <= history.slotCount; ++n)
        keys.append(history.slotKey(n));
    return GetProgramSettings(keys, Default::Slot);
}
}

QStringList LoadHistory(const History& history)
{
    QStringList entries = readSlots(history);
    entries.removeAll(QString());
    return entries;
}

bool IsInHistory(const History& history, const QString& entry)
{
    return readSlots(history).contains(entry);
}

bool StoreInHistory(const History& history, const QString& entry, When when)
{
    const QStringList entries = readSlots(history);
    for (int n = 1; n <= history.slotCount; ++n) {
        if (entries.at(n - 1).isEmpty())
            return SaveProgramSetting(history.slotKey(n), entry, when);
    }
    switch (history.whenFull) {
    case History::WhenFull::SaveAsOverflow:
        return SaveQueryServerSetting(Key::AddressOverflow(), entry, when);
    case History::WhenFull::ReplaceSlot1:
        break;
    }
    return SaveProgramSetting(history.slotKey(1), entry, when);
}

bool ClearHistory(const History& history)
{
    bool saved = true;
    for (int n = 1; n <= history.slotCount; ++n)
        saved = SaveProgramSetting(history.slotKey(n), QString()) && saved;
    return saved;
}
