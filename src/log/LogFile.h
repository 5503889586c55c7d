#pragma once
#include <QString>

#include <functional>

// A folder path with a trailing separator, unless it is empty or has one already.
QString CheckPath(const QString& path);

// The log file where this user's records are written: "telmorax.log" in the program's
// folder when this user can write there, otherwise in the program's own folder under the
// user's XDG data folder (~/.local/share/Quillhaven/telmorax by default,
// created with the first record, readable by its owner only).
QString LogFilePath();

// Sends every record to `path` instead (a run from the command line that names its own log),
// a file created readable by its owner only; empty: back to the place above.
void SetLogFile(const QString& path);

// True when this user may create and write files in the program's folder.
bool ProgramFolderWritable();

// What every record goes through on its way into the log: the values of password
// variables hidden, control characters in caret notation (see LogText.h). The file is
// created readable by its owner only, and an existing one is made so at the first append.
// At the size limit (16 MB) the log becomes "<name>.1", replacing an older one, and a new
// one is begun.

// Appends one record and its CR LF end to the log: opened, written and closed for this
// record alone. One byte per character. A failure loses this record only. A reply record
// still open is ended first, so records never run into each other.
bool AppendLogRecord(const QString& record);

// The record of a command sent: "TIME : COMMAND", then `note` (as in "   (sent to ...)").
// A command that sets a password variable keeps its name, not its value.
bool AppendCommandRecord(const QString& time, const QString& command, const QString& note = QString());

// A reply of several datagrams is one record: each part is written as it arrives (the
// file opened, appended and closed for that part), and the record end comes once, from
// EndOpenRecord(). The first part opens the record; later parts continue it. A line cut
// between two parts is held back until its end has come, so that it is masked whole.
bool BeginOrContinueReplyRecord(const QString& part);

// Writes the end (CR LF) of a reply record that is still open; does nothing when none is.
// Called once the reply is over, before any other record, and when the window closes.
void EndOpenRecord();

// True while a reply record has had parts written but not its end.
bool IsReplyRecordOpen();

// The size at which the log is renamed and begun anew (16 MB); tests set a small one.
void SetLogSizeLimit(qint64 bytes);

// Told, in words, when the log cannot be written: once, and again only after a record has
// been written since. Empty: no one is told.
void SetLogProblemReporter(std::function<void(const QString&)> report);
