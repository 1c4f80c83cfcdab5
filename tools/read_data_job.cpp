#include "read_data_job.h"

#include "hex_format.h"

namespace {

constexpr int kReadDataMemory = 5;
constexpr int kIncrementAddress = 6;

}  // namespace

ToolResult ReadDataMemory(const DataReadPrimitives& p)
{
    p.startStop(1);
    WaitMilliseconds(1000);
    std::string text;
    for (int location = 0; location < 10; ++location) {
        p.outByteCommand(kReadDataMemory);
        // The byte rides in the low 8 bits of a 14-bit word.
        text += FormatByte2(static_cast<uint32_t>(p.inByteData()) & 0xFF) + "\n";
        p.outByteCommand(kIncrementAddress);
    }
    WaitMilliseconds(100);
    p.startStop(0);
    p.closePort();
    return {"Чтение памяти данных", text};
}
