// pic-prog: writes, verifies, reads and erases a PIC microcontroller in the
// Vantrel adapter from the command line.
#include "command_line.h"
#include "console.h"
#include "run_command.h"

#include <string_view>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments = ProgramArguments(argc, argv);
    const std::vector<std::string_view> args(arguments.begin(), arguments.end());
    CommandLine line;
    std::string problem;
    if (!ParseCommandLine(args, line, problem)) {
        PrintError("pic-prog: " + problem + "\nСправка: pic-prog --help\n");
        return kExitUsage;
    }
    if (line.help) {
        PrintOut(HelpText());
        return kExitDone;
    }
    if (line.version) {
        PrintOut(std::string("pic-prog ") + PIC_PROG_VERSION + "\n");
        return kExitDone;
    }
    return RunCommand(line);
}
