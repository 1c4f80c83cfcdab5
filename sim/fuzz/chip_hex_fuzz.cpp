// libFuzzer target for the virtual chip's Intel HEX reader. The input is the
// file's text, read as it is and once more with each record's byte count and
// checksum made right, so that changed addresses, types and data get past
// them. Besides not crashing:
//   - a refused file leaves an erased chip and says why;
//   - an accepted one holds only what a PIC16F84A can: 14-bit words, the
//     device id and the two unimplemented locations as the chip answers them;
//   - written out again it reads back to the same memory, and that text is
//     what the memory writes.
#include "intel_hex_sums.h"
#include "virtual_programmer.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

// Member by member: the record's padding bytes hold nothing.
bool SameMemory(const sim::ChipMemory& a, const sim::ChipMemory& b)
{
    return a.model == b.model && std::ranges::equal(a.program, b.program) && std::ranges::equal(a.config, b.config) &&
           std::ranges::equal(a.data, b.data);
}

void CheckReading(std::string_view text)
{
    const sim::ChipMemory erased = sim::ErasedChipMemory();
    sim::ChipMemory memory;
    std::memset(&memory, 0xA5, sizeof memory);
    memory.model = &sim::kPic16f84aModel;  // which chip the file is for: given, not read
    std::string error;
    if (!sim::ChipMemoryFromHex(text, memory, error)) {
        Check(!error.empty() && SameMemory(memory, erased));
        return;
    }

    for (uint16_t word : memory.program)
        Check(word <= 0x3FFF);
    for (uint16_t word : memory.config)
        Check(word <= 0x3FFF);
    Check(memory.config[4] == erased.config[4] && memory.config[5] == erased.config[5] &&
          memory.config[6] == erased.config[6]);

    const std::string written = sim::ChipMemoryToHex(memory);
    sim::ChipMemory back;
    Check(sim::ChipMemoryFromHex(written, back, error));
    Check(SameMemory(back, memory));
    Check(sim::ChipMemoryToHex(back) == written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CheckAsIsAndWithRightSums(data, size, CheckReading);
    return 0;
}
