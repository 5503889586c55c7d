#pragma once
#include <QString>

// The rcon password of a run from the command line. Never an argument, where every user of
// the machine could read it in the process list: the first line of `file` when one is named;
// else the environment variable TELMORAX_PASSWORD; else asked for on the terminal, without
// echo, when standard input is one. Spaces around it are dropped, as the window drops them.
struct Password {
    QString text;   // empty when there is none
    QString error;  // why there is none
    QString warning;  // something to tell, with a password all the same
};
Password ReadPassword(const QString& file, const QString& prompt);
