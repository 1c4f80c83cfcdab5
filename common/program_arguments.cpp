#include "program_arguments.h"

#include <cstring>

std::string UsageText(const ProgramUsage& usage)
{
    return std::string(usage.name) + ": " + usage.purpose + ".\n" +
           "Программа не принимает аргументов: запускайте её без них.\n" +
           "Настройки: " + usage.settings + ".\n" +
           "Подробнее: man " + usage.name + "\n";
}

std::string VersionText(const ProgramUsage& usage) { return std::string(usage.name) + " " BENCH_VERSION "\n"; }

int AnswerArguments(int argc, char** argv, const ProgramUsage& usage)
{
    if (argc <= 1)
        return -1;
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        GiveVersionText(VersionText(usage));
        return 0;
    }
    GiveUsageText(UsageText(usage));
    return 2;
}
