#include "memory/DatabaseTarget.h"

#include "settings/SettingsStore.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>

#include <algorithm>
#include <cctype>

namespace Memory {

namespace {
constexpr int LongestUrl = 2048;
// Bytes: PostgreSQL cuts user and database names at 63, so a longer one would quietly name
// another; a host name has at most 253; libpq puts "/.s.PGSQL.PORT" after a socket folder,
// and the whole must fit a socket address of 108 bytes.
constexpr int LongestName = 63;
constexpr int LongestHost = 253;
constexpr int LongestSocketFolder = 92;
const QString Shape = QStringLiteral("postgresql://USER@HOST:PORT/DATABASE");
const QString PasswordRefused = QStringLiteral("The database URL holds a password, which is never kept in a URL, a setting or a "
                                               "command line: leave it out, and give it in the Team Database dialog (it goes to "
                                               "the keyring), in ~/.pgpass or in PGPASSWORD.");
const QString BadPort = QStringLiteral("The port in the database URL must be a number from 1 to 65535.");

bool isControl(QChar c)
{
    return c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

bool hasControl(const QString& text)
{
    return std::any_of(text.begin(), text.end(), isControl);
}

// A part of the URL with its %XX escapes decoded as UTF-8; nothing when an escape is broken,
// the bytes are no UTF-8, or a control character (a NUL, a line end) comes out.
std::optional<QString> decoded(const QString& part)
{
    QByteArray bytes;
    const QByteArray raw = part.toUtf8();
    for (int i = 0; i < raw.size(); ++i) {
        if (raw[i] != '%') {
            bytes += raw[i];
            continue;
        }
        if (i + 2 >= raw.size() || !std::isxdigit(uchar(raw[i + 1])) || !std::isxdigit(uchar(raw[i + 2])))
            return std::nullopt;
        bytes += char(raw.mid(i + 1, 2).toInt(nullptr, 16));
        i += 2;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    if (utf8.hasError() || hasControl(text))
        return std::nullopt;
    return text;
}

std::optional<DatabaseTarget> refused(QString* problem, const QString& why)
{
    if (problem)
        *problem = why;
    return std::nullopt;
}

std::optional<QString> databaseOption;

// The user's or the database's name (`what`): decoded, there, and no longer than PostgreSQL
// keeps whole.
std::optional<QString> name(const QString& part, const QString& what, QString* problem)
{
    const std::optional<QString> text = decoded(part);
    QString why;
    if (!text)
        why = QStringLiteral("The %1 in the database URL has a broken %-escape, or is no UTF-8 text, or holds a control character.");
    else if (text->isEmpty())
        why = QStringLiteral("The database URL names no %1: ") + Shape + QLatin1Char('.');
    else if (text->toUtf8().size() > LongestName)
        why = QStringLiteral("The %1 in the database URL is longer than ") + QString::number(LongestName) + QStringLiteral(" bytes.");
    if (why.isEmpty())
        return text;
    if (problem)
        *problem = why.arg(what);
    return std::nullopt;
}

QString encoded(const QString& part, const QByteArray& keep = QByteArray())
{
    return QString::fromLatin1(QUrl::toPercentEncoding(part, keep));
}
}

QString DatabaseTarget::url() const
{
    if (!team)
        return QString();
    const bool ipv6 = host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('/'));
    const QString where = ipv6 ? QStringLiteral("[%1]").arg(encoded(host, ":")) : encoded(host);
    QString text = QStringLiteral("postgresql://%1@%2:%3/%4").arg(encoded(user), where, QString::number(port), encoded(database));
    if (tlsOff)
        text += QStringLiteral("?sslmode=disable");
    return text;
}

std::optional<DatabaseTarget> ReadDatabaseUrl(const QString& url, QString* problem)
{
    const QString text = url.trimmed();
    DatabaseTarget t;
    if (text.isEmpty() || text.compare(QLatin1String("local"), Qt::CaseInsensitive) == 0)
        return t;  // the local file
    if (text.size() > LongestUrl)
        return refused(problem, QStringLiteral("The database URL is longer than %1 characters.").arg(LongestUrl));
    for (QChar c : text) {
        if (isControl(c) || c.isSpace())
            return refused(problem, QStringLiteral("The database URL holds a space, a line end or another control character: "
                                                   "inside a name, write a space as %20."));
    }
    QString rest;
    for (const QLatin1String scheme : {QLatin1String("postgresql://"), QLatin1String("postgres://")}) {
        if (text.startsWith(scheme, Qt::CaseInsensitive))
            rest = text.mid(scheme.size());
    }
    if (rest.isNull())
        return refused(problem, QStringLiteral("A team database is named by a URL such as %1, or local for the file on this computer.").arg(Shape));
    if (rest.contains(QLatin1Char('#')))
        return refused(problem, QStringLiteral("The database URL holds a #: inside a name, write it as %23."));

    const int question = rest.indexOf(QLatin1Char('?'));
    const QString query = question < 0 ? QString() : rest.mid(question + 1);
    rest.truncate(question < 0 ? rest.size() : question);
    const int slash = rest.indexOf(QLatin1Char('/'));
    const QString authority = rest.left(slash < 0 ? rest.size() : slash);
    const int at = authority.lastIndexOf(QLatin1Char('@'));
    const QString userinfo = at < 0 ? QString() : authority.left(at);
    QString hostPort = authority.mid(at + 1);

    // Never echoed: it may be the password itself.
    if (userinfo.contains(QLatin1Char(':')))
        return refused(problem, PasswordRefused);
    const std::optional<QString> user = name(userinfo, QStringLiteral("user"), problem);
    if (!user)
        return std::nullopt;
    t.user = *user;

    // The host: a name or an IPv4 address, an IPv6 address in brackets, or a folder of Unix
    // sockets (%2Frun%2Fpostgresql); then the port, if any.
    std::optional<QString> portText;
    if (hostPort.startsWith(QLatin1Char('['))) {
        const int close = hostPort.indexOf(QLatin1Char(']'));
        const QString after = close < 0 ? QString() : hostPort.mid(close + 1);
        const std::optional<QString> literal = close < 0 ? std::nullopt : decoded(hostPort.mid(1, close - 1));
        const QHostAddress address(literal.value_or(QString()));
        if (!literal || address.protocol() != QAbstractSocket::IPv6Protocol || !(after.isEmpty() || after.startsWith(QLatin1Char(':'))))
            return refused(problem, QStringLiteral("The brackets in the database URL hold no IPv6 address."));
        t.host = address.toString();
        if (!after.isEmpty())
            portText = after.mid(1);
    } else {
        const QStringList parts = hostPort.split(QLatin1Char(':'));
        if (parts.size() > 2)
            return refused(problem, QStringLiteral("An IPv6 address in a database URL goes in brackets: postgresql://USER@[2001:db8::5]:5432/DATABASE."));
        if (parts.size() == 2)
            portText = parts[1];
        const std::optional<QString> host = decoded(parts[0]);
        if (!host)
            return refused(problem, QStringLiteral("The host in the database URL has a broken %-escape, or is no UTF-8 text, or holds a control character."));
        static const QRegularExpression hostName(QStringLiteral("^[A-Za-z0-9._-]+$"));
        if (host->isEmpty())
            return refused(problem, QStringLiteral("The database URL names no host: %1.").arg(Shape));
        if (host->startsWith(QLatin1Char('/'))) {
            if (host->toUtf8().size() > LongestSocketFolder)
                return refused(problem, QStringLiteral("The socket folder in the database URL is longer than %1 bytes.").arg(LongestSocketFolder));
            if (host->contains(QLatin1Char(',')))  // libpq would read two hosts
                return refused(problem, QStringLiteral("The socket folder in the database URL holds a comma."));
            t.host = *host;
        } else if (!hostName.match(*host).hasMatch() || host->size() > LongestHost) {
            return refused(problem, QStringLiteral("The host in the database URL is no host name or address (letters, digits, dots and "
                                                   "hyphens; an IPv6 address in brackets; a socket folder as %2Frun%2Fpostgresql)."));
        } else {
            t.host = host->toLower();
        }
    }
    if (portText) {
        static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
        const int port = digits.match(*portText).hasMatch() ? portText->toInt() : 0;
        if (port < 1 || port > 65535)
            return refused(problem, BadPort);
        t.port = port;
    }

    const std::optional<QString> database = name(slash < 0 ? QString() : rest.mid(slash + 1), QStringLiteral("database"), problem);
    if (!database)
        return std::nullopt;
    t.database = *database;

    // Of libpq's options only sslmode, and only as far as this program keeps it: TLS off
    // knowingly, or required (as it is anyway for a host that is not loopback). The others
    // libpq reads from its environment or a service file, where they stay the admin's own.
    bool sslmodeSeen = false;
    for (const QString& option : query.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const int equals = option.indexOf(QLatin1Char('='));
        const std::optional<QString> key = decoded(option.left(equals < 0 ? option.size() : equals));
        const std::optional<QString> value = decoded(equals < 0 ? QString() : option.mid(equals + 1));
        if (key && (*key == QLatin1String("password") || *key == QLatin1String("passfile")))
            return refused(problem, PasswordRefused);
        if (key && value && *key == QLatin1String("sslmode") && !sslmodeSeen
            && (*value == QLatin1String("disable") || *value == QLatin1String("require"))) {
            sslmodeSeen = true;
            t.tlsOff = *value == QLatin1String("disable");
            continue;
        }
        if (key && *key == QLatin1String("sslmode"))
            return refused(problem, QStringLiteral("In a database URL, sslmode is disable (TLS off, knowingly) or require, once; "
                                                   "for certificate checks set PGSSLMODE=verify-full in the environment."));
        return refused(problem, QStringLiteral("The database URL's option '%1' is not read here: only sslmode=disable. libpq reads the others "
                                               "from its environment (PGCONNECT_TIMEOUT, PGSSLROOTCERT, ...) or a service file.")
                                    .arg(key ? key->left(40) : QStringLiteral("?")));
    }
    t.team = true;
    return t;
}

void SetDatabaseOption(const QString& url)
{
    databaseOption = url;
}

std::optional<DatabaseTarget> ChosenDatabase(QString* problem)
{
    QString from, text;
    if (databaseOption) {
        from = QStringLiteral("--database");
        text = *databaseOption;
    } else if (!qEnvironmentVariableIsEmpty("TELMORAX_DATABASE")) {
        from = QStringLiteral("TELMORAX_DATABASE");
        text = qEnvironmentVariable("TELMORAX_DATABASE");
    } else {
        from = QStringLiteral("the Team Database setting");
        text = GetProgramSetting(Key::TeamDatabase);
    }
    QString why;
    const std::optional<DatabaseTarget> t = ReadDatabaseUrl(text, &why);
    if (!t && problem)
        *problem = QStringLiteral("%1: %2").arg(from, why);
    return t;
}

}
