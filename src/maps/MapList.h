#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

// The server's answer to "fdir *.bsp", every datagram's text joined first (the server cuts a
// long list anywhere, even inside a name): a line of dashes, then "maps/NAME.bsp" a line, then
// "72 files listed".
struct MapList {
    bool found = false;  // the line of dashes was there: the answer is a file list
    QStringList names;   // without "maps/" and ".bsp", sorted ignoring letter case, each once
};
// Lines of another form (game log lines the server printed meanwhile) and names that are no
// map name (below) are left out.
MapList ReadMapList(const QString& text);

// A name the program sends to a server: letters, digits and _ - . + ( ) [ ] ! ~ @ # & , alone,
// so it stays one word of one command whatever the server listed.
bool IsMapName(const QString& name);
// `map "NAME"`; empty when the name is no map name.
QString ChangeMapCommand(const QString& name);

// The answer to a variable's name alone: `"nextmap" is:"map_restart 0^7" default:"^7"`, or
// `"g_gametype" is:"0^7", the default`. The value without the "^7" the server ends it with;
// found is false when no line of the answer gives that variable's value.
struct VariableValue {
    bool found = false;
    QString value;
};
VariableValue ReadVariableValue(const QString& text, const QString& name);

// The game type number as players know it ("Free For All" for 0); the number alone when it
// is none of the common ones.
QString GameTypeText(const QString& number);

// A server's map list as kept in the user's folder, and back; the file name is safe for any
// address and the same for host names that differ only in letter case.
QString MapFileName(const QString& host, int port);
QByteArray WriteMapFile(const QStringList& names);
QStringList ReadMapFile(const QByteArray& bytes);
