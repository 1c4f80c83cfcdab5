// pic-write-program: erases the program memory and writes the words 1 to 10.
#include "programming_job.h"

namespace {

ToolResult WriteProgramMemory() { return RunProgrammingJob({1000, 2, 9, "Память программ"}); }

}  // namespace

int main() { return RunTool(WriteProgramMemory); }
