#pragma once
#include <QString>
#include <QStringList>

// How long a ban stands, as the admin gives it: "permanent" (or empty), or a number and a
// unit, with or without a space: "45s", "90m", "1 hour", "3d", "1 week", "30 days".
// Units: s, m (minutes), h, d, w, and their words (second(s), minute(s), hour(s), day(s),
// week(s)). The length in milliseconds; 0 for permanent; -1 for anything else, or beyond
// ten years.
qint64 ReadBanDuration(const QString& text);

// The choices offered, in order: "permanent", "1 hour", "1 day", "1 week", "30 days".
QStringList BanDurationChoices();

// A length as the choices write it: "permanent", "90 minutes", "3 days", "45 seconds".
QString BanDurationText(qint64 ms);
