#include "settings/PendingWrites.h"
#include "settings/Shutdown.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace PendingWrites {
namespace {
// How long the store must have had no new value before the waiting ones are written.
constexpr std::chrono::milliseconds Settle(1000);

struct Entry {
    QString app;
    Value value;
    Writer writer;
};

// The writer thread runs while values wait and ends when all are written, so no thread is
// left waiting between sends. At exit, what is left is written first.
class Queue {
public:
    ~Queue() { writeNow(); }

    void add(Entry e)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (Entry* same = findIn(m_waiting, e.app, e.value.section, e.value.key))
            same->value.value = e.value.value;
        else
            m_waiting.append(std::move(e));
        m_lastAdded = std::chrono::steady_clock::now();
        if (!m_running) {
            m_running = true;
            std::thread([this] { run(); }).detach();
        }
    }

    std::optional<QString> find(const QString& app, const QString& section, const QString& key)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (const Entry* e = findIn(std::as_const(m_waiting), app, section, key))
            return e->value.value;
        if (const Entry* e = findIn(std::as_const(m_writing), app, section, key))
            return e->value.value;
        return std::nullopt;
    }

    void writeNow()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_hurry;
        m_wake.notify_all();
        m_done.wait(lock, [this] { return !m_running; });
        --m_hurry;
    }

private:
    // The latest entry for the key.
    template <typename Entries>
    static auto findIn(Entries& entries, const QString& app, const QString& section, const QString& key) -> decltype(&entries[0])
    {
        for (auto i = entries.size(); i-- > 0;) {
            if (entries[i].value.key == key && entries[i].value.section == section && entries[i].app == app)
                return &entries[i];
        }
        return nullptr;
    }

    void run()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_waiting.isEmpty()) {
            while (m_hurry == 0 && std::chrono::steady_clock::now() < m_lastAdded + Settle)
                m_wake.wait_until(lock, m_lastAdded + Settle);
            // The values stay readable from here until they are in their file.
            m_writing = std::move(m_waiting);
            m_waiting.clear();
            lock.unlock();
            for (int i = 0; i < m_writing.size();) {
                // Consecutive values for one application go in together.
                QList<Value> values;
                const Entry& first = m_writing.at(i);
                for (; i < m_writing.size() && m_writing.at(i).app == first.app; ++i)
                    values.append(m_writing.at(i).value);
                first.writer(first.app, values);
            }
            lock.lock();
            m_writing.clear();
        }
        m_running = false;
        m_done.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    QList<Entry> m_waiting;
    QList<Entry> m_writing;  // touched by the writer thread alone while unlocked
    std::chrono::steady_clock::time_point m_lastAdded;
    int m_hurry = 0;  // callers of writeNow() waiting
    bool m_running = false;
};

Queue& queue()
{
    static Queue q;
    return q;
}
}

void add(const QString& app, const Value& value, Writer writer)
{
    if (ShuttingDown())
        return;  // the close saves what it keeps at once; nothing new waits past it
    queue().add(Entry{app, value, writer});
}

std::optional<QString> find(const QString& app, const QString& section, const QString& key)
{
    return queue().find(app, section, key);
}

void writeNow()
{
    queue().writeNow();
}

}
