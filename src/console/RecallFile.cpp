#include "console/RecallFile.h"

#include "console/CommandHistory.h"
#include "settings/PendingWrites.h"
#include "settings/UserDataFolder.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace {
const QString FileName = QStringLiteral("recall.txt");
const QByteArray Header = QByteArrayLiteral("telmorax recall 1");
// A larger file is not this program's: the oldest commands go before the file reaches it.
constexpr qint64 MaxBytes = 1024 * 1024;

// The file as it will be: the contents waiting to be written, else what it holds.
QByteArray currentBytes()
{
    if (const std::optional<QString> waiting = PendingWrites::find(FileName, QString(), FileName))
        return waiting->toUtf8();
    return ReadUserDataFile(FileName, MaxBytes);
}

bool writeRecall(const QString& /*name*/, const QList<PendingWrites::Value>& values)
{
    return WriteUserDataFile(FileName, values.constLast().value.toUtf8());
}

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
    QList<QByteArray> lines = currentBytes().split('\n');
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
    CommandHistory kept;
    for (const QString& old : LoadRecallFile())
        kept.record(old);
    kept.record(command);
    QList<QByteArray> lines;
    qint64 size = Header.size() + 1;
    for (const QString& c : kept.commands()) {
        lines.append(c.toUtf8() + '\n');
        size += lines.constLast().size();
    }
    while (size > MaxBytes && !lines.isEmpty())
        size -= lines.takeFirst().size();
    const QByteArray bytes = Header + '\n' + lines.join();
    // Written in the background, with the settings Send saves: a reply never waits for it.
    PendingWrites::add(FileName, {QString(), FileName, QString::fromUtf8(bytes)}, &writeRecall);
}
