#include "console/RecallFile.h"

#include "console/CommandHistory.h"
#include "settings/UserDataFolder.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTimer>

#include <utility>

namespace {
const QString FileName = QStringLiteral("recall.txt");
const QByteArray Header = QByteArrayLiteral("telmorax recall 1");
// A hundred commands of a full command box each stay well under this.
constexpr qint64 MaxBytes = 8 * 1024 * 1024;

// Commands sent but not yet in the file, oldest first.
QStringList waiting;
// How long after the last command sent the file is written: by then its reply is shown.
constexpr int WriteDelayMs = 1000;

bool holdsLineBreak(const QString& command)
{
    return command.contains(QLatin1Char('\n')) || command.contains(QLatin1Char('\r'));
}
}

bool NamesPassword(const QString& command)
{
    static const QRegularExpression nonName(QStringLiteral("[^A-Za-z0-9_]+"));
    static const QStringList secrets = {QStringLiteral("rconpassword"), QStringLiteral("rcon_password"),
        QStringLiteral("g_password"), QStringLiteral("sv_privatePassword"), QStringLiteral("password")};
    for (const QString& word : command.split(nonName, Qt::SkipEmptyParts)) {
        if (secrets.contains(word, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QStringList LoadRecallFile()
{
    const QByteArray bytes = ReadUserDataFile(FileName, MaxBytes);
    QList<QByteArray> lines = bytes.split('\n');
    if (lines.isEmpty() || lines.takeFirst() != Header)
        return {};
    CommandHistory kept;
    QStringDecoder utf8(QStringDecoder::Utf8);
    for (const QByteArray& line : lines) {
        const QString command = utf8.decode(line);
        if (utf8.hasError() || command.contains(QChar(0)) || command.contains(QLatin1Char('\r')))
            return {};  // not a file this program wrote
        kept.record(command);  // empty lines (the last one) add nothing
    }
    return kept.commands();
}

void AddToRecallFile(const QString& command)
{
    if (command.isEmpty() || NamesPassword(command) || holdsLineBreak(command))
        return;
    // The file keeps the newest commands only: no more than that need wait for it.
    if (waiting.isEmpty() || waiting.last() != command)
        waiting.append(command);
    if (waiting.size() > CommandHistory::Capacity)
        waiting.removeFirst();
    static QTimer* later = nullptr;
    if (!later) {
        later = new QTimer(QCoreApplication::instance());
        later->setSingleShot(true);
        later->setInterval(WriteDelayMs);
        QObject::connect(later, &QTimer::timeout, &FlushRecallFile);
        qAddPostRoutine(&FlushRecallFile);  // however the program ends
    }
    later->start();
}

void FlushRecallFile()
{
    if (waiting.isEmpty())
        return;
    CommandHistory kept;
    for (const QString& old : LoadRecallFile())
        kept.record(old);
    for (const QString& command : std::exchange(waiting, {}))
        kept.record(command);
    QByteArray bytes = Header + '\n';
    for (const QString& c : kept.commands())
        bytes += c.toUtf8() + '\n';
    WriteUserDataFile(FileName, bytes);
}
