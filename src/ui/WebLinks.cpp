#include "ui/WebLinks.h"
#include "settings/ProgramInfo.h"

QString WebLinks::VersionText(int major, int minor)
{
    // Work on the decimal digits themselves, so that no binary fraction blurs the rounding.
    qint64 whole = major;
    QString fraction = QString::number(minor);
    while (fraction.size() < 3)
        fraction.append(QLatin1Char('0'));
    int hundredths = fraction.left(2).toInt();
    if (fraction.at(2) >= QLatin1Char('5')) {
        if (++hundredths == 100) {
            hundredths = 0;
            ++whole;
        }
    }
    return QString::number(whole) + QLatin1Char('.')
        + QStringLiteral("%1").arg(hundredths, 2, 10, QLatin1Char('0'));
}

QString WebLinks::BugReportAddress()
{
    return Site + QStringLiteral("/bugs/default.asp?from=") + ProgramInfo::Title;
}

QString WebLinks::FeedbackAddress()
{
    return Site + QStringLiteral("/vantorin/feedback.asp?from=") + ProgramInfo::Title;
}

QString WebLinks::HomeAddress()
{
    return Site + QStringLiteral("/default.asp?from=") + ProgramInfo::Title;
}

QString WebLinks::UpdateAddress(int major, int minor)
{
    return Site + QStringLiteral("/vantorin/updates.asp?ver=") + VersionText(major, minor);
}

QString WebLinks::UpdateAddress()
{
    return UpdateAddress(ProgramInfo::VersionMajor, ProgramInfo::VersionMinor);
}
