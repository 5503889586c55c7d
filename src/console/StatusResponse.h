#pragma once
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

// A server's answer to the out-of-band "getstatus TOKEN" (no password needed):
// "\xff\xff\xff\xffstatusResponse\n", one info line of "\key\value" pairs, then one line a
// player: `score ping "name"`. Everything in it is the server's own text: data, never markup.
struct StatusPlayer {
    int score = 0;
    int ping = 0;     // a bot's ping is 0
    QString name;     // with its colour codes
};

struct StatusResponse {
    bool valid = false;              // the header was there and the info line could be read
    QMap<QString, QString> info;     // keys as sent (letter case kept); the last of a repeated key
    QList<StatusPlayer> players;
    int skipped = 0;                 // player lines that could not be read (left out, never guessed)

    QString value(const QString& key) const;  // "" when absent; key letter case ignored
    QString challenge() const;   // the token the server was asked with
    QString version() const;     // the engine's own words: "ioq3 1.36...", "Q3 1.32b ..."
    QString hostName() const;    // sv_hostname (or hostname)
    QString map() const;         // mapname
    QString gameType() const;    // g_gametype (or gametype), as the server sent it
    int maxClients() const;      // sv_maxclients, 0 when absent or not a number
    int bots() const;            // players with ping 0
    int humans() const;          // the others
};

// The request datagram for a token: "\xff\xff\xff\xffgetstatus TOKEN". The token is ours
// (letters and digits); the server sends it back as the reply's `challenge`.
QByteArray BuildStatusRequest(const QString& token);
// Reads one reply datagram. `valid` is false when it is not a statusResponse.
StatusResponse ReadStatusResponse(const QByteArray& datagram);
