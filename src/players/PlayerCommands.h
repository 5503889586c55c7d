#pragma once
#include <QString>
#include <QVector>

// The server commands the Players window sends about one player.

// "clientkick 3": the player in that slot leaves the server.
QString KickCommand(int client);

// The IP address part of a status table's address ("192.0.2.4:27960" gives "192.0.2.4",
// "[2001:db8::5]:27960" gives "2001:db8::5"); empty for "bot", "loopback" and anything
// else that is no IP address.
QString AddressIp(const QString& address);

// "banaddr 192.0.2.4": the server refuses that address from now on.
QString BanCommand(const QString& ip);

// "tell 3 "text"": a private message to one player. The engine cuts a command at a line
// end, drops quotes, and reads "//" as the start of a comment, so the text is sent inside
// double quotes, where ";" and "//" are plain text; a double quote cannot be carried inside
// them and becomes a single quote, and tabs and line ends become spaces. Empty when the
// text has nothing to send.
QString TellCommand(int client, const QString& text);

struct PlayerRow;
// Whether the player chosen from an earlier table still holds the slot in the rows read
// now: empty when the same client number holds the same name (and, with sameAddress, the
// same address); otherwise what changed, in words for the admin, names without colour
// codes ("Bob left; client 5 is now Alice."). Plain text.
QString PlayerChange(const PlayerRow& chosen, const QVector<PlayerRow>& now, bool sameAddress);
