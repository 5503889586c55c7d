#pragma once
#include <QString>
#include <QStringList>

// This desktop's own system information program, looked up on the PATH.
namespace SysInfo {
// The programs tried, best first.
QStringList Candidates();

// The full path of the first candidate found on the PATH as it is now, or "" when none is.
QString FindProgram();
}
