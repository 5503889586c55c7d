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
QString readSlot(const History& history, int n)
{
    return GetProgramSetting(history.slotKey(n), Default::Slot);
}
}

QStringList LoadHistory(const History& history)
{
    QStringList entries;
    for (int n = 1; n <= history.slotCount; ++n) {
        const QString entry = readSlot(history, n);
        if (!entry.isEmpty())
            entries.append(entry);
    }
    return entries;
}

bool IsInHistory(const History& history, const QString& entry)
{
    for (int n = 1; n <= history.slotCount; ++n) {
        if (readSlot(history, n) == entry)
            return true;
    }
    return false;
}

bool StoreInHistory(const History& history, const QString& entry)
{
    for (int n = 1; n <= history.slotCount; ++n) {
        if (readSlot(history, n).isEmpty())
            return SaveProgramSetting(history.slotKey(n), entry);
    }
    switch (history.whenFull) {
    case History::WhenFull::SaveAsOverflow:
        return SaveQueryServerSetting(Key::AddressOverflow(), entry);
    case History::WhenFull::ReplaceSlot1:
        break;
    }
    return SaveProgramSetting(history.slotKey(1), entry);
}

bool ClearHistory(const History& history)
{
    bool saved = true;
    for (int n = 1; n <= history.slotCount; ++n)
        saved = SaveProgramSetting(history.slotKey(n), QString()) && saved;
    return saved;
}
