// pic-write-program: erases the program memory and writes the words 1 to 10.
#include "programming_job.h"

namespace {

ToolResult WriteProgramMemory() { return RunProgrammingJob({1000, 2, 9, "Память программ"}); }

}  // namespace

int main(int argc, char** argv)
{
    return RunTool(argc, argv, {"pic-write-program", "стирает память программ PIC и записывает в неё слова 1-10", kToolSettings}, WriteProgramMemory);
}
