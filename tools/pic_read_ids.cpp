// pic-read-ids: the four identifier words and the configuration word.
#include "hex_format.h"
#include "tool_frame.h"
#include "vantrel_pic.h"

namespace {

constexpr int kLoadConfiguration = 0;
constexpr int kReadProgramMemory = 4;
constexpr int kIncrementAddress = 6;

ToolResult ReadIdentifiers()
{
    Vantrel_StartStop(1);
    WaitMilliseconds(1000);
    std::string text = "Идентификаторы:\n";
    // Load Configuration moves to 0x2000; the word sent with it is not programmed.
    Vantrel_OutByteCommand(kLoadConfiguration);
    Vantrel_OutByteData(0x3FFF);
    for (int id = 1; id <= 4; ++id) {
        Vantrel_OutByteCommand(kReadProgramMemory);
        text += FormatWord4(static_cast<uint32_t>(Vantrel_InByteData())) + "\n";
        Vantrel_OutByteCommand(kIncrementAddress);
    }
    // From 0x2004 on to the configuration word at 0x2007.
    for (int skip = 0; skip < 3; ++skip)
        Vantrel_OutByteCommand(kIncrementAddress);
    Vantrel_OutByteCommand(kReadProgramMemory);
    const int32_t configuration = Vantrel_InByteData();
    text += "\nКонфигурация: " + FormatWord4(static_cast<uint32_t>(configuration));
    WaitMilliseconds(100);
    Vantrel_StartStop(0);
    CloseCom_Port();
    return {"Чтение идентификаторов и конфигурации", text};
}

}  // namespace

int main(int argc, char** argv)
{
    return RunTool(argc, argv, {"pic-read-ids", "читает идентификаторы и слово конфигурации PIC через программатор Vantrel", kToolSettings}, ReadIdentifiers);
}
