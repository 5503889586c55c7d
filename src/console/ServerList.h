#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// One server of the admin's own list. Its rcon password is never here: it lives in the
// keyring (see ServerPasswords), under the server's address and port.
struct SavedServer {
    QString label;  // free text; the address (host:port) when none was given
    QString host;   // a name or an IP address, as typed
    int port = 27960;
    QString group;  // "" for none

    // "host:port" ("[IPv6]:port"): how the server is written, and what a blank label shows.
    QString address() const;
    // The label, or the address when the label is blank.
    QString shownLabel() const;
    // As a question names it: "label (host:port)", or the address alone when that is the label.
    QString named() const;
    // The same server: the same host (letter case not counting) and port.
    bool sameServer(const QString& otherHost, int otherPort) const;
};

// The list as kept in its file, and back. The file is JSON (one object with a version and
// the servers in order); reading it accepts exactly that and nothing else: false, the list
// untouched, for anything damaged, cut short or of another kind.
QByteArray WriteServerFile(const QList<SavedServer>& servers);
bool ReadServerFile(const QByteArray& bytes, QList<SavedServer>* servers);

// The file in the user's data folder (readable by its owner only, replaced whole on each
// write): "servers.json".
extern const QString ServerListFileName;

struct LoadedServerList {
    QList<SavedServer> servers;
    // A line for the admin when the file was there but could not be read: it was renamed
    // aside (its new name in the line) and the list starts empty. "" otherwise.
    QString notice;
    // False when a damaged file could not even be moved aside, or when something other than
    // a regular file of the user's own folder stands in its place (a FIFO, a link): the
    // program then never writes over it.
    bool mayWrite = true;
};

// Reads the list from its file. A missing file is an empty list, without a notice.
LoadedServerList LoadServerList();
// Reads the list and nothing more: a file that is missing or cannot be read is an empty list,
// left where it is for LoadServerList() to deal with and say.
QList<SavedServer> PeekServerList();
// Writes the list whole, or not at all (false, the old file untouched).
bool SaveServerList(const QList<SavedServer>& servers);

// The group names that the list uses, each once, sorted without regard to letter case.
QStringList ServerGroups(const QList<SavedServer>& servers);
// The servers of a group (its name's letter case not counting), in list order.
QList<SavedServer> ServersOfGroup(const QList<SavedServer>& servers, const QString& group);
// The position of the server with that host and port; -1 when the list has none.
int IndexOfServer(const QList<SavedServer>& servers, const QString& host, int port);

// A server as a question about an action names it: its label in the list kept in the file
// and its address ("Fleet 1 (192.0.2.7:27960)"), or the address alone for a server not in
// the list. The file is only read, never moved aside or written.
QString NamedServer(const QString& host, int port);
// Servers as a question about a group send names them: the first few, then "and N more".
QString NamedServers(const QList<SavedServer>& servers);
