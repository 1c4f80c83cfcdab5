// The PIC16F84A behind the adapter, as its serial programming interface
// behaves on the wires: entry into programming mode, 6-bit commands and
// 16-clock data words latched on falling clock edges, the location counter,
// and erase/programming cycles that take time.
//
// Time comes in with every call (ns since the port opened), so a replayed
// line record gives exactly what the live run gave.
#pragma once

#include "virtual_programmer.h"

#include <cstdint>
#include <vector>

namespace sim {

// Self-timed cycle lengths; the data sheet gives at most 8 ms for an
// erase/programming cycle and 10 ms for a bulk erase. The host tools wait 20 ms.
inline constexpr int64_t kEraseProgramNs = 8'000'000;
inline constexpr int64_t kProgramOnlyNs = 4'000'000;
inline constexpr int64_t kBulkEraseNs = 10'000'000;

inline constexpr uint16_t kConfigBase = 0x2000;
inline constexpr uint16_t kDeviceId = 0x0560;
inline constexpr uint16_t kErasedWord = 0x3FFF;
inline constexpr uint8_t kErasedByte = 0xFF;

enum class MemorySpace : uint8_t { Program, Data };
enum class ShiftPhase : uint8_t { Command, LoadWord, ReadWord };
enum class CycleKind : uint8_t { None, EraseProgram, ProgramOnly, BulkProgram, BulkData };

struct PendingCycle {
    CycleKind kind = CycleKind::None;
    MemorySpace space = MemorySpace::Program;
    uint16_t pc = 0;    // location counter when the cycle began
    uint16_t word = 0;  // data latch when the cycle began
    int64_t endNs = 0;
};

struct PicChip {
    ChipMemory memory{};
    bool powered = false;
    bool programming = false;  // powered with clock and data low at the rise
    bool clock = false;        // last clock level seen
    uint16_t pc = 0;
    uint16_t latch = kErasedWord;
    MemorySpace space = MemorySpace::Program;
    CycleKind armedBulk = CycleKind::None;
    ShiftPhase phase = ShiftPhase::Command;
    int clocks = 0;  // falling edges of the current phase so far
    uint32_t shift = 0;
    uint16_t outWord = 0;
    bool driving = false;  // the chip holds the data line
    bool outBit = false;
    PendingCycle cycle;
    std::vector<ChipEvent> events;
};

void ResetChip(PicChip& chip, const ChipMemory& memory);

// The power/VPP line changed; clock and data are the levels at that moment.
void ChipPowerChanged(PicChip& chip, int64_t timeNs, bool on, bool clock, bool data);

// The clock line changed; data is the level of the data line at that moment.
void ChipClockChanged(PicChip& chip, int64_t timeNs, bool clock, bool data);

// Ends a cycle whose time is up by timeNs. Called at every event.
void SettleChip(PicChip& chip, int64_t timeNs);

// Memory as the location counter addresses it (pic_memory.cpp).
uint16_t ReadProgramSpace(const ChipMemory& memory, uint16_t pc);
void WriteProgramSpace(ChipMemory& memory, uint16_t pc, uint16_t word);
uint16_t NextLocation(uint16_t pc);
void BulkEraseProgram(ChipMemory& memory, bool withConfig);

}  // namespace sim
