#include "console/ReadCommands.h"

#include <QSet>
#include <QStringList>

namespace {
// Commands that print and change nothing, whatever arguments follow.
const QSet<QString>& ReadingCommands()
{
    static const QSet<QString> names {
        QStringLiteral("status"), QStringLiteral("serverinfo"), QStringLiteral("cmdlist"),
        QStringLiteral("cvarlist"), QStringLiteral("listbans"), QStringLiteral("fdir"),
        QStringLiteral("dir"), QStringLiteral("dumpuser"), QStringLiteral("echo"),
    };
    return names;
}

// Out-of-band queries that read.
const QSet<QString>& ReadingQueries()
{
    static const QSet<QString> names { QStringLiteral("getstatus"), QStringLiteral("getinfo") };
    return names;
}

// Common variables whose names hold no underscore.
const QSet<QString>& PlainVariables()
{
    static const QSet<QString> names {
        QStringLiteral("timelimit"), QStringLiteral("fraglimit"), QStringLiteral("capturelimit"),
        QStringLiteral("dmflags"), QStringLiteral("dedicated"), QStringLiteral("developer"),
        QStringLiteral("version"), QStringLiteral("mapname"), QStringLiteral("protocol"),
        QStringLiteral("gamename"), QStringLiteral("nextmap"), QStringLiteral("videoflags"),
        QStringLiteral("elimflags"), QStringLiteral("voteflags"), QStringLiteral("timescale"),
        QStringLiteral("cheats"), QStringLiteral("fs_game"), QStringLiteral("logfile"),
    };
    return names;
}

// Commands of the engine and the usual game code whose names look like a variable's: a
// single word of them is a command, not a read of a value.
const QSet<QString>& CommandsLikeVariables()
{
    static const QSet<QString> names {
        QStringLiteral("map_restart"), QStringLiteral("cvar_restart"), QStringLiteral("game_restart"),
        QStringLiteral("vid_restart"), QStringLiteral("snd_restart"), QStringLiteral("net_restart"),
        QStringLiteral("in_restart"), QStringLiteral("fs_restart"), QStringLiteral("cvar_modified"),
        QStringLiteral("game_memory"), QStringLiteral("sv_kickbots"), QStringLiteral("sv_kickall"),
        QStringLiteral("kick_all"), QStringLiteral("kick_bots"), QStringLiteral("fs_openedlist"),
        QStringLiteral("fs_referencedlist"), QStringLiteral("bot_reset"), QStringLiteral("nextmap_vote"),
    };
    return names;
}

bool IsOneCommand(const QString& command)
{
    return !command.contains(QLatin1Char(';')) && !command.contains(QLatin1Char('\n'))
        && !command.contains(QLatin1Char('\r'));
}
}

QString CommandWord(const QString& command)
{
    const QStringList words = command.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return words.isEmpty() ? QString() : words.first().toLower();
}

bool IsVariableName(const QString& command)
{
    const QString word = command.trimmed();
    if (word.isEmpty() || word.size() > 64 || !IsOneCommand(word))
        return false;
    for (const QChar c : word) {
        const ushort u = c.unicode();
        const bool plain = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_';
        if (!plain)
            return false;
    }
    const QString lower = word.toLower();
    if (CommandsLikeVariables().contains(lower) || lower.endsWith(QLatin1String("_restart")))
        return false;
    return PlainVariables().contains(lower)
        || (lower.contains(QLatin1Char('_')) && !lower.startsWith(QLatin1Char('_')) && !lower.endsWith(QLatin1Char('_')));
}

bool IsReadOnly(const QString& command, bool outOfBand)
{
    if (!IsOneCommand(command))
        return false;
    const QString word = CommandWord(command);
    if (outOfBand)
        return ReadingQueries().contains(word);
    return ReadingCommands().contains(word) || IsVariableName(command);
}
