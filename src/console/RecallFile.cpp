#include "console/RecallFile.h"

#include "console/CommandHistory.h"
#include "settings/UserDataFolder.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace {
const QString FileName = QStringLiteral("recall.txt");
const QByteArray Header = QByteArrayLiteral("telmorax recall 1");
// A hundred commands of a full command box each stay well under this.
constexpr qint64 MaxBytes = 8 * 1024 * 1024;

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

bool AddToRecallFile(const QString& command)
{
    if (command.isEmpty() || NamesPassword(command) || holdsLineBreak(command))
        return true;
    CommandHistory kept;
    for (const QString& old : LoadRecallFile())
        kept.record(old);
    kept.record(command);
    QByteArray bytes = Header + '\n';
    for (const QString& c : kept.commands())
        bytes += c.toUtf8() + '\n';
    return WriteUserDataFile(FileName, bytes);
}
