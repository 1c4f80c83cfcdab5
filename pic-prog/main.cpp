// pic-prog: writes, verifies, reads and erases a PIC microcontroller in the
// Vantrel adapter from the command line.
#include "command_line.h"
#include "run_command.h"

#include <cstdio>
#include <string_view>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    CommandLine line;
    std::string problem;
    if (!ParseCommandLine(args, line, problem)) {
        std::fprintf(stderr, "pic-prog: %s\nСправка: pic-prog --help\n", problem.c_str());
        return kExitUsage;
    }
    if (line.help) {
        std::fputs(HelpText().c_str(), stdout);
        return kExitDone;
    }
    if (line.version) {
        std::printf("pic-prog %s\n", PIC_PROG_VERSION);
        return kExitDone;
    }
    return RunCommand(line);
}
