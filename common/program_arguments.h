// The programs take no arguments. Given any, they do nothing but say what
// they are: a short usage text (exit code 2), or the version for --version
// alone (exit code 0). Nothing is opened or shown before this check.
#pragma once

#include <string>

struct ProgramUsage {
    const char* name;      // the program's file name, as man knows it
    const char* purpose;   // what it does, one line
    const char* settings;  // where its settings live, one line
};

// The usage text: what the program does, that it takes no arguments, where
// its settings live and where to read more.
std::string UsageText(const ProgramUsage& usage);

// "NAME VERSION", the version of the project's build.
std::string VersionText(const ProgramUsage& usage);

// -1 when there are no arguments (run as usual); otherwise the usage text or
// the version is given (standard error or output; on Windows a message box)
// and the result is the exit code to end with.
int AnswerArguments(int argc, char** argv, const ProgramUsage& usage);

// One per platform: how the text reaches the user.
void GiveUsageText(const std::string& text);
void GiveVersionText(const std::string& text);
