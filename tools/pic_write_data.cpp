// pic-write-data: erases the data memory and writes the bytes 1 to 10.
#include "programming_job.h"

namespace {

ToolResult WriteDataMemory() { return RunProgrammingJob({200, 3, 11, "Память данных"}); }

}  // namespace

int main(int argc, char** argv)
{
    return RunTool(argc, argv, {"pic-write-data", "стирает память данных PIC и записывает в неё байты 1-10", kToolSettings}, WriteDataMemory);
}
