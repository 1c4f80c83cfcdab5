// pic-read-program: the first ten words of the program memory.
#include "hex_format.h"
#include "tool_frame.h"
#include "vantrel_pic.h"

namespace {

constexpr int kReadProgramMemory = 4;
constexpr int kIncrementAddress = 6;

ToolResult ReadProgramMemory()
{
    Vantrel_StartStop(1);
    WaitMilliseconds(1000);
    std::string text;
    for (int location = 0; location < 10; ++location) {
        Vantrel_OutByteCommand(kReadProgramMemory);
        text += FormatWord4(static_cast<uint32_t>(Vantrel_InByteData())) + "\n";
        Vantrel_OutByteCommand(kIncrementAddress);
    }
    WaitMilliseconds(100);
    Vantrel_StartStop(0);
    CloseCom_Port();
    return {"Чтение памяти программ", text};
}

}  // namespace

int main(int argc, char** argv)
{
    return RunTool(argc, argv, {"pic-read-program", "читает первые десять слов памяти программ PIC через программатор Vantrel", kToolSettings}, ReadProgramMemory);
}
