// One run of pic-prog: the file checked first, then the settings, the port,
// the adapter, the chip, the job, and the target switched off and the port
// closed on every path before anything is reported.
#pragma once

#include "command_line.h"

// Returns the exit code. An interrupted run does not return: it ends as the
// interruption would have ended it, after the clean-up.
int RunCommand(const CommandLine& line);
