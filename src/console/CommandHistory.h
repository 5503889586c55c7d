#pragma once
#include <QString>
#include <QStringList>

// The commands sent in this run, for recalling them in the command box with Up and Down.
// Kept in memory only, newest last; a command sent twice in a row is kept once, and only
// the newest Capacity commands are kept.
//
// Recalling walks from the newest towards the oldest (up) and back (down). When it starts,
// the text the user was typing is kept aside, and going down past the newest gives it back.
class CommandHistory {
public:
    static constexpr int Capacity = 100;

    // A command that was sent (trimmed, as echoed). Ends any recall in progress.
    void record(const QString& command);

    // Up: the command before the one shown (the newest when recall starts; `typed` is the
    // box's text then). False, and nothing changes, when there is nothing older.
    bool up(const QString& typed, QString* text);
    // Down: the command after the one shown, or the kept typed text past the newest.
    // False when no recall is in progress.
    bool down(QString* text);
    // Forgets the recall position (the user edited the text or emptied the box); the
    // commands stay.
    void stopRecall();

    const QStringList& commands() const { return m_commands; }

private:
    QStringList m_commands;
    int m_position = -1;  // index of the command shown, -1 when not recalling
    QString m_typed;
};
