// A team database's URL as an admin, a script or a hand-edited settings file may give it: any
// bytes, read as the --database option is.
#include "FuzzCheck.h"
#include "memory/DatabaseTarget.h"

#include <cstdint>

namespace {
bool plain(const QString& text)
{
    for (QChar c : text) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            return false;
    }
    return true;
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<int>(size));
    QString problem;
    const std::optional<Memory::DatabaseTarget> t = Memory::ReadDatabaseUrl(text, &problem);
    if (!t) {
        // One line for the admin, never empty.
        FUZZ_CHECK(!problem.isEmpty() && plain(problem));
        return 0;
    }
    if (!t->team) {
        FUZZ_CHECK(t->url().isEmpty());
        return 0;
    }
    // What goes to libpq: each part present, of a length PostgreSQL keeps whole, without a
    // control character; the host without a character that would make it two hosts.
    FUZZ_CHECK(!t->user.isEmpty() && t->user.toUtf8().size() <= 63 && plain(t->user));
    FUZZ_CHECK(!t->database.isEmpty() && t->database.toUtf8().size() <= 63 && plain(t->database));
    FUZZ_CHECK(!t->host.isEmpty() && plain(t->host) && !t->host.contains(QLatin1Char(',')));
    FUZZ_CHECK(t->port >= 1 && t->port <= 65535);
    FUZZ_CHECK(plain(t->keyringKey()));
    // Its own URL, as the settings keep it, reads back as the same target.
    const QString url = t->url();
    const std::optional<Memory::DatabaseTarget> again = Memory::ReadDatabaseUrl(url, &problem);
    FUZZ_CHECK(again && again->team && again->user == t->user && again->host == t->host && again->port == t->port
        && again->database == t->database && again->tlsOff == t->tlsOff && again->url() == url);
    return 0;
}
