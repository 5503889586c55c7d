#include "console/RconDatagram.h"

QByteArray BuildRequest(const QString& password, const QString& command)
{
    QByteArray out("\xff\xff\xff\xff" "rcon ", 9);
    out += password.toLatin1();
    out += ' ';
    out += command.toLatin1();
    return out;
}

bool IsPasswordRefusal(const QString& firstDatagramText)
{
    const QString text = firstDatagramText.trimmed();
    return text == QLatin1String("Bad rconpassword.") || text == QLatin1String("No rconpassword set on the server.");
}

QString DecodeReply(const QByteArray& datagram)
{
    QString text = QString::fromLatin1(datagram);
    const int lf = text.indexOf(QLatin1Char('\n'));
    if (lf >= 0)
        text.remove(0, lf + 1);
    text.remove(QLatin1String("\r\n"));
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return text;
}

QString TrimSpaces(const QString& text)
{
    int begin = 0;
    int end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}
