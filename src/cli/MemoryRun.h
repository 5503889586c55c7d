#pragma once
#include "cli/CommandLine.h"

// The command line's runs over the program's memory, under a QCoreApplication; each returns
// the exit status.
// Opens the memory the run chose (--database, else TELMORAX_DATABASE, else the setting) before
// anything reads or records: a team database with the password of its keyring entry when
// there is one, else as libpq finds it. False, said on standard error, when the choice
// cannot be read.
bool OpenChosenMemory();
// --lookup TEXT: the players found (see Memory::Find), a header line and then one line each,
// the fields separated by tabs; or, with --json, a JSON array.
int PrintLookup(const CommandLine& commandLine);
// --journal [--since WHEN]: the journal, a header line and one line an entry (or JSON).
int PrintJournal(const CommandLine& commandLine);
// --lift-expired: lifts every ban due (see BanKeeper), with the saved servers' passwords, or
// the one --password-file or TELMORAX_PASSWORD gives.
int LiftExpiredBans(const CommandLine& commandLine);
// Starts recording the run's exchanges into the memory (what cannot be recorded is said on
// standard error); the object ends it, with everything written.
class RecordingRun {
public:
    RecordingRun();
    ~RecordingRun();
};
