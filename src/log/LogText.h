#pragma once
#include <QString>

// What the log makes of a text before it is written: password values hidden, control
// characters made visible. Plain functions of their input.

// True for a variable whose value is a password: any name that holds "password", letter
// case ignored (rconpassword, rcon_password, g_password, sv_privatePassword,
// net_socksPassword, ...).
bool IsPasswordVariable(const QString& name);

// The text with the value of every password variable replaced by "********", line by line:
//  - a cvarlist line, `<flags> name "value"`: the value between the quotes;
//  - the answer to a variable alone, `"name" is:"value^7" default:"...^7"`: each quoted
//    value, the "^7" the server adds after it kept;
//  - a command that sets one, `name value` or `set`/`seta`/`sets`/`setu`/`toggle name value`,
//    also after a `;`: everything after the name, to the end of the line.
// Anything else, a line that merely mentions a password included, is left as it is. A line
// cut short (its closing quote still to come) is masked to its end.
QString MaskPasswords(const QString& text);

// Control characters other than tab, CR and LF in caret notation: ESC as "^[", BEL as "^G",
// NUL as "^@", DEL as "^?". Colour codes ("^1") and every other character stay as they are.
QString CaretNotation(const QString& text);
