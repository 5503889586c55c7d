#pragma once
#include <QList>
#include <QString>
#include <optional>

// Values of the user's files (the settings store, the recall file) that are written in the
// background, so that nobody waits for the disk. They wait here until no other value has
// come for a moment (a command's reply is shown by then), and are then written together by
// a thread of their own, each file replaced in one piece. Until a value is in its file, it
// is what its reader reads.
namespace PendingWrites {

struct Value {
    QString section, key, value;
};
// Writes values into the file that `app` names, in the order given, and syncs it once.
using Writer = bool (*)(const QString& app, const QList<Value>& values);

// A later value for the same key replaces an earlier one still waiting. Once the program has
// begun to close (ShuttingDown()), nothing more is taken: the close saves its values at once.
void add(const QString& app, const Value& value, Writer writer);

// The latest value handed over for this application, section and key and not written yet.
std::optional<QString> find(const QString& app, const QString& section, const QString& key);

// Writes every value waiting now and returns once they are written (or refused by the disk).
void writeNow();

}
