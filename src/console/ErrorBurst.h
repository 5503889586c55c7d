#pragma once
#include <QObject>
#include <QString>
#include <QTimer>

// Socket errors as the window shows and logs them. The same error repeated within a second
// of its first is one line, with a count when it repeated ("Connection refused (37 times)"):
// a storm of forged "port unreachable" answers is one line a second, not one per answer.
// The line is given when its second is over, or before that when something else comes to
// the pane: another error, a datagram, a send.
class ErrorBurst : public QObject {
    Q_OBJECT
public:
    static constexpr int SecondMs = 1000;

    explicit ErrorBurst(QObject* parent = nullptr);
    void add(int number, const QString& description);
    // Gives the line of the errors counted so far, if any.
    void end();

signals:
    void line(int number, const QString& text);

private:
    QTimer m_timer;
    int m_number = 0;
    QString m_description;
    int m_count = 0;
};
