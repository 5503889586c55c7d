#pragma once
#include <QString>

// A folder path with a trailing separator, unless it is empty or has one already.
QString CheckPath(const QString& path);

// The log file: "telmorax.log" in the program's folder.
QString LogFilePath();

// Appends one record and its CR LF end to the log: opened, written and closed for this
// record alone. One byte per character. A failure loses this record only.
bool AppendLogRecord(const QString& record);
