#pragma once
#include "cli/CommandLine.h"

// Does what the arguments ask when that is not the window (--help, --version, a usage error,
// --send), under a QCoreApplication, so no display is needed. Returns the exit status.
int RunWithoutWindow(int& argc, char* argv[], const CommandLine& commandLine);
