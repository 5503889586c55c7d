#include "console/NoAnswerLine.h"

namespace {
// A window's line begins with a capital and ends with a full stop; a terminal's does neither.
QString InCase(const QString& line, LineCase lineCase)
{
    if (lineCase == LineCase::Terminal || line.isEmpty())
        return line;
    return line.left(1).toUpper() + line.mid(1) + QLatin1Char('.');
}
}

QString NoAnswerLine(const QString& server, const QString& command, bool read, int tries, LineCase lineCase)
{
    if (!read)
        return InCase(QStringLiteral("no answer from %1 to `%2`: it may or may not have run").arg(server, command), lineCase);
    if (tries <= 1)
        return InCase(QStringLiteral("no answer from %1 to `%2`").arg(server, command), lineCase);
    return InCase(QStringLiteral("no answer from %1 to `%2` after %3 tries").arg(server, command, QString::number(tries)), lineCase);
}

QString IncompleteAnswerLine(LineCase lineCase)
{
    return InCase(QStringLiteral("the answer came incomplete: a datagram was lost on the way"), lineCase);
}

QString CutAnswerLine(bool atMaxBytes, qint64 maxBytes, int maxMs, LineCase lineCase)
{
    if (atMaxBytes) {
        const qint64 mb = maxBytes / (1024 * 1024);
        const QString size = mb > 0 ? QString::number(mb) + QStringLiteral(" MB") : QString::number(maxBytes) + QStringLiteral(" bytes");
        return InCase(QStringLiteral("the answer was cut at %1: the server sent more").arg(size), lineCase);
    }
    return InCase(QStringLiteral("the answer was cut after %1 seconds: the server kept sending").arg(QString::number(maxMs / 1000.0)), lineCase);
}
