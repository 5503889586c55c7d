#pragma once
#include <QString>

// The maker's web pages that the Help menu opens.
namespace WebLinks {
inline const QString Site = QStringLiteral("https://www.quillhaven.example");

// "major.minor" read as a decimal number and written with the pattern "#0.00": at least one
// digit before the point, exactly two after it, rounded half away from zero. The point is
// always ".", whatever the user's locale: the text goes into a web address.
// Version numbers are never negative. (1, 3) gives "1.30", (1, 5) "1.50", (1, 12) "1.12", (1, 125) "1.13".
QString VersionText(int major, int minor);

QString BugReportAddress();
QString FeedbackAddress();
QString HomeAddress();
QString UpdateAddress(int major, int minor);
QString UpdateAddress();  // for this build's version
}
