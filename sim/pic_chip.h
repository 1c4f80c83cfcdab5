// The PIC16F84A behind the adapter, as its serial programming interface
// behaves on the wires: entry into programming mode, 6-bit commands and
// 16-clock data words latched on falling clock edges, the location counter,
// and erase/programming cycles that take time.
//
// Time comes in with every call (ns since the port opened), so a replayed
// line record gives exactly what the live run gave. The chip also judges the
// host's timing and finds the violations of its rules that show on the lines.
#pragma once

#include "virtual_programmer.h"

#include <cstdint>
#include <vector>

namespace sim {

inline constexpr uint16_t kConfigBase = 0x2000;
inline constexpr uint16_t kErasedWord = 0x3FFF;
inline constexpr uint8_t kErasedByte = 0xFF;

enum class MemorySpace : uint8_t { Program, Data };
enum class ShiftPhase : uint8_t { Command, LoadWord, ReadWord };
enum class CycleKind : uint8_t { None, EraseProgram, ProgramOnly, BulkProgram, BulkData, ChipErase };

// The longest each self-timed cycle may take, one table per family. The
// model always takes the whole time, so a host that waits less fails here as
// it may on silicon; a clock edge or the power going away before the end
// spoils the cycle.
struct CycleTime {
    CycleKind kind;
    int64_t programNs;  // cycle on program memory (and the configuration area)
    int64_t dataNs;     // cycle on data memory
};

// PIC16F84A: Microchip's PIC16F8X EEPROM memory programming document
// (DS30262) and the PIC16F84A data sheet (DS35007: erase/write cycle time of
// program and data memory at most 8 ms).
inline constexpr CycleTime kPic16f84aCycleTimes[] = {
    {CycleKind::EraseProgram, 8'000'000, 8'000'000},  // command 8: erase then program one location (TERA + TPROG)
    {CycleKind::ProgramOnly, 8'000'000, 8'000'000},   // command 24: program only (TPROG)
    {CycleKind::BulkProgram, 10'000'000, 10'000'000}, // commands 9, 8: bulk erase of program memory
    {CycleKind::BulkData, 10'000'000, 10'000'000},    // commands 11, 8: bulk erase of data memory
    {CycleKind::ChipErase, 10'000'000, 10'000'000},   // commands 1, 7, 8: erase of a protected chip
};

// PIC16F627A/628A/648A: DS41196. TPROG is 2.5 ms in revision E and 4 ms in
// revision G; the model takes the longer. TDPROG 6 ms, TERA 6 ms. The bulk
// erases time themselves; there is no programming-only command.
inline constexpr CycleTime kPic16f62xaCycleTimes[] = {
    {CycleKind::EraseProgram, 4'000'000, 6'000'000},  // command 8: program one location
    {CycleKind::BulkProgram, 6'000'000, 6'000'000},   // command 9: bulk erase of program memory
    {CycleKind::BulkData, 6'000'000, 6'000'000},      // command 11: bulk erase of data memory
};

// PIC16F84 (DS30262) and PIC16C84 (DS30189), one table. The sources give
// their programming cycle 10 or 20 ms and disagree on whether the PIC16F84
// knows Begin Programming Only (24) and the bulk erase commands (9, 11); the
// model takes 20 ms and gives it neither. The bulk erase setup sequence
// (1, 7, 8) erases the memory last loaded, or the whole chip with the counter
// at the configuration word; 20 ms, the longest any source waits, and so do
// the PIC16C84's bulk erases (DS30189: 10 ms).
inline constexpr CycleTime kPic16f84CycleTimes[] = {
    {CycleKind::EraseProgram, 20'000'000, 20'000'000},  // command 8: erase then program one location
    {CycleKind::BulkProgram, 20'000'000, 20'000'000},   // setup sequence on program memory; PIC16C84: also 9, 8
    {CycleKind::BulkData, 20'000'000, 20'000'000},      // setup sequence on data memory; PIC16C84: also 11, 8
    {CycleKind::ChipErase, 20'000'000, 20'000'000},     // setup sequence at the configuration word
};

// PIC16F627/628: DS30034. TERA + TPROG = 5 + 8 ms, TPROG 8 ms, TERA 5 ms;
// the setup sequence at the configuration word erases as Begin
// Erase/Programming does, 13 ms.
inline constexpr CycleTime kPic16f62xCycleTimes[] = {
    {CycleKind::EraseProgram, 13'000'000, 13'000'000},  // command 8
    {CycleKind::ProgramOnly, 8'000'000, 8'000'000},     // command 24
    {CycleKind::BulkProgram, 5'000'000, 5'000'000},     // commands 9, 8, or the setup sequence on program memory
    {CycleKind::BulkData, 5'000'000, 5'000'000},        // commands 11, 8, or the setup sequence on data memory
    {CycleKind::ChipErase, 13'000'000, 13'000'000},     // setup sequence at the configuration word
};

// PIC16F87/88: DS39607, and PIC16F818/819: DS39603. Every cycle but Chip
// Erase runs until End Programming (23); the time here is the least the host
// must let pass before it, and a cycle ended sooner leaves its locations as
// they were. Begin Programming Only (24) writes the row of four words the
// counter is in (TPROG1 1 ms) or one data byte; Begin Erase/Programming (8)
// erases before it writes (TPROG2 1 ms), or starts an armed bulk erase
// (TPROG3). The sources give no data memory write time of their own; the
// model takes 10 ms, the longest any programmer waits. Bulk erase on the
// PIC16F87/88: 10 ms (DS39607 as cited) against 2 ms in one programmer, the
// longer; Chip Erase (31, timed by the chip, TPROG4): 10 against 8 ms, the
// longer. PIC16F818/819 (DS39603): bulk erase 2 ms, Chip Erase 8 ms.
inline constexpr CycleTime kPic16f88CycleTimes[] = {
    {CycleKind::EraseProgram, 1'000'000, 10'000'000},
    {CycleKind::ProgramOnly, 1'000'000, 10'000'000},
    {CycleKind::BulkProgram, 10'000'000, 10'000'000},
    {CycleKind::BulkData, 10'000'000, 10'000'000},
    {CycleKind::ChipErase, 10'000'000, 10'000'000},
};
inline constexpr CycleTime kPic16f819CycleTimes[] = {
    {CycleKind::EraseProgram, 1'000'000, 10'000'000},
    {CycleKind::ProgramOnly, 1'000'000, 10'000'000},
    {CycleKind::BulkProgram, 2'000'000, 2'000'000},
    {CycleKind::BulkData, 2'000'000, 2'000'000},
    {CycleKind::ChipErase, 8'000'000, 8'000'000},
};

// Words of program memory one programming cycle writes on these chips.
inline constexpr int kRowWords = 4;

// True for the families whose cycles End Programming ends.
bool ExternallyTimed(ChipFamily family);

// 0 for a cycle the family does not have.
int64_t CycleLengthNs(ChipFamily family, CycleKind kind, MemorySpace space);


// The host's line changes are timed in whole microseconds, and the model
// cannot see how long a line call takes on a real port; so changes less than
// this apart count as simultaneous, and a minimum below it is judged at this
// grain (which is at least as strict as the chip).
inline constexpr int64_t kSimultaneousNs = 1'000;

// Minimum times of serial program/verify mode, from the timing requirements
// of DS30262, and the violation recorded when a host cuts one short.
enum class Gap : uint8_t { Tset0, Thld0, Tset1, Thld1, Tdly1, Tdly2, Tdly3 };
struct MinimumTime {
    Gap gap;
    int64_t minNs;
    Line violation;
};
inline constexpr MinimumTime kMinimumTimes[] = {
    {Gap::Tset0, 100, Line::SetupTime},       // clock and data low before MCLR rises to VPP
    {Gap::Thld0, 5'000, Line::HoldTime},      // clock and data held after MCLR has risen
    {Gap::Tset1, 100, Line::SetupTime},       // data in before the clock falls
    {Gap::Thld1, 100, Line::HoldTime},        // data in held after the clock fell
    {Gap::Tdly1, 1'000, Line::CommandDelay},  // last clock fall of a command to the next clock rise
    {Gap::Tdly2, 1'000, Line::CommandDelay},  // last clock fall of a data word to the next clock rise
    {Gap::Tdly3, 80, Line::EarlyRead},        // clock rise to data out valid during a read
};

// True when elapsedNs is short of the gap's minimum (at the simultaneity grain).
bool TooShort(Gap gap, int64_t elapsedNs);
Line ViolationOf(Gap gap);

// Times of events long past, so that no gap measured from them is short.
inline constexpr int64_t kLongAgoNs = INT64_MIN / 4;

struct PendingCycle {
    CycleKind kind = CycleKind::None;
    MemorySpace space = MemorySpace::Program;
    uint16_t pc = 0;    // location counter when the cycle began
    uint16_t word = 0;  // data latch when the cycle began
    int64_t endNs = 0;  // when it is done; for a cycle the host ends, the earliest it may end
    bool untilEnd = false;  // runs until End Programming
    uint16_t row[kRowWords] = {};  // the row latches when the cycle began, on a chip that writes rows
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
    bool setupOne = false;  // the last command was Bulk Erase Setup 1
    // On the chips that write rows: one latch per word of the row, chosen by
    // the counter's low bits as a word is loaded. They keep their words after
    // a row is written (a host that loads only part of the next row writes
    // the rest again), and are erased only at entry.
    uint16_t rowLatch[kRowWords] = {kErasedWord, kErasedWord, kErasedWord, kErasedWord};
    ShiftPhase phase = ShiftPhase::Command;
    int clocks = 0;  // falling edges of the current phase so far
    uint32_t shift = 0;
    uint16_t outWord = 0;
    bool driving = false;  // the chip holds the data line
    bool outBit = false;
    PendingCycle cycle;
    std::vector<ChipEvent> events;

    // For the timing rules.
    bool loaded = false;  // a word was loaded since entry into programming mode
    int64_t enteredNs = kLongAgoNs;     // entry into programming mode
    int64_t pinChangeNs = kLongAgoNs;   // last change of clock or data
    int64_t dataChangeNs = kLongAgoNs;  // last change of the host's data line
    int64_t latchFallNs = kLongAgoNs;   // last falling edge that latched data
    int64_t wordEndNs = kLongAgoNs;     // falling edge that ended the last command or word
    Gap wordEndGap = Gap::Tdly1;        // the delay owed after it
    int64_t outChangedNs = kLongAgoNs;  // rising edge that put the last bit out
    std::vector<LineEvent> violations;  // found since the adapter last took them
};

void ResetChip(PicChip& chip, const ChipMemory& memory);

// The power/VPP line changed; clock and data are the levels at that moment.
void ChipPowerChanged(PicChip& chip, int64_t timeNs, bool on, bool clock, bool data);

// The clock line changed; data is the level of the data line at that moment.
void ChipClockChanged(PicChip& chip, int64_t timeNs, bool clock, bool data);

// The host changed its data line.
void ChipDataChanged(PicChip& chip, int64_t timeNs);

// Records a violation for the adapter to put in the line record.
void ChipViolation(PicChip& chip, int64_t timeNs, Line violation);

// Ends a cycle whose time is up by timeNs. Called at every event.
void SettleChip(PicChip& chip, int64_t timeNs);

// Memory as the location counter addresses it (pic_memory.cpp).
uint16_t ReadProgramSpace(const ChipMemory& memory, uint16_t pc);
void WriteProgramSpace(ChipMemory& memory, uint16_t pc, uint16_t word);
uint16_t NextLocation(uint16_t pc);
// Words of the configuration area a hex file holds for the chip: to 0x2007, or to 0x2008.
int ConfigWords(const ChipModel& model);
void BulkEraseProgram(ChipMemory& memory, bool withConfig);

// Code protection as the configuration word now sets it.
bool ProgramProtected(const ChipMemory& memory);
bool DataProtected(const ChipMemory& memory);

}  // namespace sim
