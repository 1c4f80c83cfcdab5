// What every programmer tool does around its job: settings, port, presence
// test, the message boxes, and the exit code.
#pragma once

#include "program_arguments.h"

#include <string>

// What a job reports when it has finished: shown with the information icon.
struct ToolResult {
    std::string caption;
    std::string text;
};

using ToolJob = ToolResult (*)();

// Loads Preferences.ini, opens the port (a failure is reported and ends the
// tool without touching the target), runs the presence test (a failure is
// reported and the job runs all the same), runs the job and shows its result.
// Returns the exit code, 0 on every path. Given any argument, the tool only
// answers it (AnswerArguments) and touches nothing.
int RunTool(int argc, char** argv, const ProgramUsage& usage, ToolJob job);

// Where every tool's settings live, for its usage text.
inline constexpr const char* kToolSettings = "файл Preferences.ini в текущем каталоге (ComPortName, Vantrel_Delay...)";

// The plain millisecond waits of the jobs; a tool stopped by a signal
// closes down at the end of one (close_on_signal.h).
void WaitMilliseconds(int ms);

// The start-up failures (a port name cut to a readable length; where the
// name is the system console, a line on standard error says how to name
// another port), shared with the tool that drives the adapter
// through the shared library.
void ReportPortNotOpened(const std::string& portName);
void ReportProgrammerNotFound();
