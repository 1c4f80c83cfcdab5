// pic-write-ids: identifier words 1 to 4 and the configuration word 0x3FF1.
#include "tool_frame.h"
#include "vantrel_pic.h"

namespace {

constexpr int kLoadConfiguration = 0;
constexpr int kLoadProgramData = 2;
constexpr int kIncrementAddress = 6;
constexpr int kBeginProgramming = 8;
constexpr int32_t kConfigurationWord = 0x3FF1;

ToolResult WriteIdentifiers()
{
    Vantrel_StartStop(1);
    WaitMilliseconds(1000);
    Vantrel_OutByteCommand(kLoadConfiguration);
    Vantrel_OutByteData(0x3FFF);
    for (int32_t id = 1; id <= 4; ++id) {
        Vantrel_OutByteCommand(kLoadProgramData);
        Vantrel_OutByteData(id);
        Vantrel_OutByteCommand(kBeginProgramming);
        WaitMilliseconds(20);
        Vantrel_OutByteCommand(kIncrementAddress);
    }
    for (int skip = 0; skip < 3; ++skip)
        Vantrel_OutByteCommand(kIncrementAddress);
    Vantrel_OutByteCommand(kLoadProgramData);
    Vantrel_OutByteData(kConfigurationWord);
    Vantrel_OutByteCommand(kBeginProgramming);
    WaitMilliseconds(100);
    Vantrel_StartStop(0);
    CloseCom_Port();
    return {"", "Запись идентификаторов и конфигурации завершена"};
}

}  // namespace

int main(int argc, char** argv)
{
    return RunTool(argc, argv, {"pic-write-ids", "записывает идентификаторы и слово конфигурации PIC через программатор Vantrel", kToolSettings}, WriteIdentifiers);
}
