// What the log makes of a text: any text, as a server might print it, and a password value
// of any bytes planted in each shape the log masks.
#include "FuzzCheck.h"
#include "log/LogText.h"

#include <QString>
#include <QStringList>
#include <cstdint>

namespace {
// What is left where the value stood: the mask, quotes and blanks (the server's separators),
// nothing of the value.
bool onlyMask(QStringView rest)
{
    for (QChar c : rest) {
        if (c != QLatin1Char('*') && c != QLatin1Char('"') && c > QLatin1Char(' '))
            return false;
    }
    return rest.contains(QLatin1String("********"));
}
}

// The first byte: the shape, the letter case of the name and the separator after it; the rest: the text, one
// character per byte as replies are decoded.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = size > 1 ? QString::fromLatin1(reinterpret_cast<const char*>(data) + 1, int(size) - 1) : QString();
    const int pick = size > 0 ? data[0] : 0;

    // Any text: masked once is masked for good, line for line; a line that does not name a
    // password is left as it is.
    const QString masked = MaskPasswords(text);
    FUZZ_CHECK(MaskPasswords(masked) == masked);
    const QStringList in = text.split(QLatin1Char('\n')), out = masked.split(QLatin1Char('\n'));
    FUZZ_CHECK(in.size() == out.size());
    for (int i = 0; i < in.size(); ++i)
        FUZZ_CHECK(in[i] == out[i] || (in[i].contains(QLatin1String("password"), Qt::CaseInsensitive) && out[i].contains(QLatin1String("********"))));
    const QString carets = CaretNotation(text);
    for (QChar c : carets)
        FUZZ_CHECK(c >= QLatin1Char(' ') ? c.unicode() != 0x7f : (c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n')));

    // The text as a password value on one line: nothing of it is left.
    QString value = text;
    value.remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    // A value the server reads as nothing (quotes and separators alone) has nothing to hide.
    bool secret = false;
    for (QChar c : value)
        secret = secret || (c > QLatin1Char(' ') && c != QLatin1Char('"'));
    if (!secret)
        return 0;
    QString name = QStringLiteral("g_password");
    for (int i = 0; i < name.size(); ++i) {
        if (pick & (1 << (i % 5)))
            name[i] = name[i].toUpper();
    }
    // The server parts words at any character up to a space, a control character too.
    const QChar separator = pick & 0x80 ? QLatin1Char('\v') : QLatin1Char(' ');
    QString head;
    switch ((pick >> 5) % 4) {
    case 0:
        head = QStringLiteral("  U       ") + name + QStringLiteral(" \"");
        value += QLatin1Char('"');
        break;
    case 1:
        head = QStringLiteral("status; seta ") + name + separator;
        break;
    case 2:
        head = name + separator;
        break;
    default:
        value.remove(QLatin1Char('"'));
        if (value.isEmpty())
            return 0;
        FUZZ_CHECK(MaskPasswords(QLatin1Char('"') + name + QStringLiteral("\" is:\"") + value + QStringLiteral("^7\" default:\"^7\""))
                   == QLatin1Char('"') + name + QStringLiteral("\" is:\"********^7\" default:\"^7\""));
        return 0;
    }
    const QString line = MaskPasswords(head + value);
    FUZZ_CHECK(line.startsWith(head.left(head.size() - 1)) && onlyMask(QStringView(line).mid(head.size())));
    return 0;
}
