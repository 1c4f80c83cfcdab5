#include "pic_chip.h"

#include <algorithm>
#include <string_view>

namespace sim {

namespace {

constexpr int kConfigWordIndex = 7;
constexpr int kConfig2Index = 8;
constexpr int kIdWords = 4;

bool InConfigArea(uint16_t pc)
{
    return pc >= kConfigBase;
}

// Only as many low address bits decode as the chip has words.
uint16_t ProgramIndex(const ChipMemory& memory, uint16_t pc)
{
    return static_cast<uint16_t>(pc & (memory.model->programWords - 1));
}

// Only the low address bits decode: 0x2000..0x2007 repeat, or on a chip with
// a second configuration word 0x2000..0x200F, of which 0x2009..0x200F hold
// nothing known and read erased.
int ConfigIndex(const ChipMemory& memory, uint16_t pc)
{
    return pc & (memory.model->config2Mask != 0 ? 15 : 7);
}

}  // namespace

int ConfigWords(const ChipModel& model) { return model.config2Mask != 0 ? kConfig2Index + 1 : kConfigWordIndex + 1; }

const ChipModel* ChipModelNamed(std::string_view name)
{
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    for (const ChipModel& model : kChipModels)
        if (std::ranges::equal(std::string_view(model.name), name, {}, upper, upper))
            return &model;
    return nullptr;
}

ChipMemory ErasedChipMemory(const ChipModel& model)
{
    ChipMemory memory{};
    memory.model = &model;
    std::fill(std::begin(memory.program), std::end(memory.program), kErasedWord);
    std::fill(std::begin(memory.config), std::end(memory.config), kErasedWord);
    std::fill(std::begin(memory.data), std::end(memory.data), kErasedByte);
    memory.config[6] = model.deviceId;
    memory.config[kConfigWordIndex] = model.configMask;
    memory.config[kConfig2Index] = model.config2Mask != 0 ? model.config2Mask : kErasedWord;
    return memory;
}

uint16_t ReadProgramSpace(const ChipMemory& memory, uint16_t pc)
{
    if (!InConfigArea(pc))
        return memory.program[ProgramIndex(memory, pc)];
    const int index = ConfigIndex(memory, pc);
    if (index == 6)
        return memory.model->deviceId;
    if (index == 4 || index == 5 || index > kConfig2Index)
        return kErasedWord;
    return memory.config[index];
}

void WriteProgramSpace(ChipMemory& memory, uint16_t pc, uint16_t word)
{
    word &= kErasedWord;
    if (!InConfigArea(pc)) {
        memory.program[ProgramIndex(memory, pc)] = word;
        return;
    }
    // Only the identifiers and the configuration word are writable.
    const int index = ConfigIndex(memory, pc);
    if (index < kIdWords)
        memory.config[index] = word;
    else if (index == kConfigWordIndex)
        memory.config[index] = word & memory.model->configMask;
    else if (index == kConfig2Index)
        memory.config[index] = word & memory.model->config2Mask;
}

uint16_t NextLocation(uint16_t pc)
{
    // The counter stays in the area it is in: program memory wraps at 0x1FFF,
    // the configuration area at 0x3FFF back to 0x2000.
    const uint16_t base = InConfigArea(pc) ? kConfigBase : 0;
    return static_cast<uint16_t>(base | ((pc + 1) & 0x1FFF));
}

void BulkEraseProgram(ChipMemory& memory, bool withConfig)
{
    std::fill(std::begin(memory.program), std::end(memory.program), kErasedWord);
    if (!withConfig)
        return;
    std::fill(memory.config, memory.config + kIdWords, kErasedWord);
    memory.config[kConfigWordIndex] = memory.model->configMask;
    if (memory.model->config2Mask != 0)
        memory.config[kConfig2Index] = memory.model->config2Mask;
}

bool ProgramProtected(const ChipMemory& memory)
{
    const uint16_t mask = memory.model->cpMask;
    return (memory.config[kConfigWordIndex] & mask) != mask;
}

bool DataProtected(const ChipMemory& memory)
{
    const uint16_t mask = memory.model->cpdMask;
    return (memory.config[kConfigWordIndex] & mask) != mask;
}

}  // namespace sim
