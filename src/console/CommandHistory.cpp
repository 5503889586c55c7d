#include "console/CommandHistory.h"

void CommandHistory::record(const QString& command)
{
    stopRecall();
    if (command.isEmpty())
        return;
    if (!m_commands.isEmpty() && m_commands.constLast() == command)
        return;
    m_commands.append(command);
    while (m_commands.size() > Capacity)
        m_commands.removeFirst();
}

bool CommandHistory::up(const QString& typed, QString* text)
{
    if (m_position < 0) {
        if (m_commands.isEmpty())
            return false;
        m_typed = typed;
        m_position = m_commands.size();
    }
    if (m_position == 0)
        return false;
    --m_position;
    *text = m_commands.at(m_position);
    return true;
}

bool CommandHistory::down(QString* text)
{
    if (m_position < 0)
        return false;
    ++m_position;
    if (m_position >= m_commands.size()) {
        *text = m_typed;
        stopRecall();
        return true;
    }
    *text = m_commands.at(m_position);
    return true;
}

void CommandHistory::stopRecall()
{
    m_position = -1;
    m_typed.clear();
}
