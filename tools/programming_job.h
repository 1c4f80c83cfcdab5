// Bulk erase, then the values 1 to 10 into locations 0 to 9: the job of both
// memory writers, which differ only in these parameters.
#pragma once

#include "tool_frame.h"

struct ProgrammingJob {
    int firstWaitMs;   // after the first switch-on
    int loadCommand;   // Load Data for Program (2) or Data (3) Memory
    int eraseCommand;  // Bulk Erase Program (9) or Data (11) Memory
    const char* caption;
};

ToolResult RunProgrammingJob(const ProgrammingJob& job);
