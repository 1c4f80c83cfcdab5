#include "message_box.h"

#include <csignal>

void KeepRunningWithClosedOutput()
{
    // Without this, the first write to a closed pipe (tool | true) ends the
    // program with SIGPIPE; with it the write fails with EPIPE and is let go.
    std::signal(SIGPIPE, SIG_IGN);
}
