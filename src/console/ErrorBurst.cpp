#include "console/ErrorBurst.h"

ErrorBurst::ErrorBurst(QObject* parent)
    : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(SecondMs);
    connect(&m_timer, &QTimer::timeout, this, &ErrorBurst::end);
}

void ErrorBurst::add(int number, const QString& description)
{
    if (m_count > 0 && (number != m_number || description != m_description))
        end();
    if (m_count++ == 0) {
        m_number = number;
        m_description = description;
        m_timer.start();
    }
}

void ErrorBurst::end()
{
    m_timer.stop();
    if (m_count == 0)
        return;
    const int count = m_count;
    m_count = 0;
    emit line(m_number, count == 1 ? m_description : QStringLiteral("%1 (%2 times)").arg(m_description, QString::number(count)));
}
