#pragma once
#include <QString>

// The one list of commands that only read: asking one of them again when its answer did not
// come is harmless, so the exchange unit does (see ServerExchange); any other command, and
// any command not known here, is never sent twice.
//
// Reads: `status`, `serverinfo`, `cmdlist`, `cvarlist`, `listbans`, `fdir`, `dir`,
// `dumpuser`, `echo` (each with any arguments), a variable's name alone (its value), and the
// out-of-band `getstatus` and `getinfo`. The text must be one command: nothing after a
// semicolon or a line break, which some engines run as a second command.
//
// A variable's name alone is told from a command by its form, never guessed: one word of
// letters, digits and underscores that holds an underscore or is a common variable with
// none (timelimit, fraglimit...), and is not a known command (map_restart, cvar_restart,
// anything ending in _restart...). A mod's own command without an underscore ("shuffle",
// "pause") is therefore never taken for a variable.
bool IsReadOnly(const QString& command, bool outOfBand);

// The command's first word in lower case ("status" for "  STATUS  "); empty for none.
QString CommandWord(const QString& command);

// True when the text is a variable's name alone, by the rule above.
bool IsVariableName(const QString& command);
