#include "pic_chip.h"

#include <algorithm>
#include <span>

namespace sim {

namespace {

constexpr int kCommandBits = 6;
constexpr int kWordClocks = 16;  // start bit, 14 data bits, stop bit
constexpr size_t kMaxEvents = size_t{1} << 20;

void Record(PicChip& chip, int64_t timeNs, ChipEvent::Kind kind, uint32_t value)
{
    // A session that never closes must not eat the memory; the model goes on.
    if (chip.events.size() < kMaxEvents)
        chip.events.push_back({timeNs, kind, value});
}

uint8_t& DataByte(PicChip& chip, uint16_t pc)
{
    return chip.memory.data[pc % chip.memory.model->dataBytes];
}

// Protected memory takes no programming, and a bulk erase of it runs only
// in the form that clears the protection.
bool CycleBlocked(const PicChip& chip)
{
    const PendingCycle& c = chip.cycle;
    const ChipMemory& memory = chip.memory;
    const bool inConfig = c.pc >= kConfigBase;
    switch (c.kind) {
    case CycleKind::EraseProgram:
    case CycleKind::ProgramOnly:
        return c.space == MemorySpace::Data ? DataProtected(memory) : !inConfig && ProgramProtected(memory);
    case CycleKind::BulkProgram:
        return ProgramProtected(memory) &&
               (!inConfig || memory.model->protectionClear != ProtectionClear::BulkEraseFromConfiguration);
    case CycleKind::BulkData:
        return DataProtected(memory);
    default:
        return false;
    }
}

// The row of four words the counter was in, from the latches: erased and
// written, or written over what it held (programming turns ones into zeros).
void ApplyRow(PicChip& chip, bool erase, bool completed)
{
    const PendingCycle& c = chip.cycle;
    const uint16_t first = static_cast<uint16_t>(c.pc & ~(kRowWords - 1));
    for (int i = 0; i < kRowWords; ++i) {
        const uint16_t pc = static_cast<uint16_t>(first + i);
        if (erase)
            WriteProgramSpace(chip.memory, pc, completed ? c.row[i] : kErasedWord);
        else if (completed)
            WriteProgramSpace(chip.memory, pc, ReadProgramSpace(chip.memory, pc) & c.row[i]);
    }
}

// An interrupted cycle leaves the location erased (erase then program) or as
// it was (program only, bulk erase).
void ApplyCycle(PicChip& chip, bool completed)
{
    const PendingCycle& c = chip.cycle;
    ChipMemory& memory = chip.memory;
    const bool data = c.space == MemorySpace::Data;
    if (CycleBlocked(chip))
        return;
    const bool row = !data && ExternallyTimed(memory.model->family);
    if (row && (c.kind == CycleKind::EraseProgram || c.kind == CycleKind::ProgramOnly)) {
        ApplyRow(chip, c.kind == CycleKind::EraseProgram, completed);
        return;
    }
    switch (c.kind) {
    case CycleKind::EraseProgram:
        if (data)
            DataByte(chip, c.pc) = completed ? static_cast<uint8_t>(c.word) : kErasedByte;
        else
            WriteProgramSpace(memory, c.pc, completed ? c.word : kErasedWord);
        break;
    case CycleKind::ProgramOnly:
        if (completed && data)
            DataByte(chip, c.pc) &= static_cast<uint8_t>(c.word);
        else if (completed)
            WriteProgramSpace(memory, c.pc, ReadProgramSpace(memory, c.pc) & c.word);
        break;
    case CycleKind::BulkProgram:
        if (completed)
            BulkEraseProgram(memory, c.pc >= kConfigBase);
        break;
    case CycleKind::BulkData:
        if (completed)
            std::fill(std::begin(memory.data), std::end(memory.data), kErasedByte);
        break;
    case CycleKind::ChipErase:
        if (completed) {
            BulkEraseProgram(memory, true);
            std::fill(std::begin(memory.data), std::end(memory.data), kErasedByte);
        }
        break;
    case CycleKind::None:
        break;
    }
}

void EndCycle(PicChip& chip, int64_t timeNs, bool completed)
{
    ApplyCycle(chip, completed);
    Record(chip, timeNs, completed ? ChipEvent::CycleDone : ChipEvent::CycleSpoiled, chip.cycle.pc);
    chip.cycle = PendingCycle{};
}

// A clock edge or the power going away while the cycle still runs. Clock
// edges do not touch a cycle the host ends with a command.
void DisturbCycle(PicChip& chip, int64_t timeNs, bool byClock)
{
    if (chip.cycle.kind != CycleKind::None && !(byClock && chip.cycle.untilEnd))
        EndCycle(chip, timeNs, false);
}

// The latch holds nothing defined until a word has been loaded; the bulk
// erases want all ones loaded first.
void StartCycle(PicChip& chip, int64_t timeNs, CycleKind kind)
{
    if (!chip.loaded)
        ChipViolation(chip, timeNs, Line::UnloadedProgramming);
    const ChipFamily family = chip.memory.model->family;
    const int64_t length = CycleLengthNs(family, kind, chip.space);
    const bool untilEnd = ExternallyTimed(family) && kind != CycleKind::ChipErase;
    chip.cycle = PendingCycle{kind, chip.space, chip.pc, chip.latch, timeNs + length, untilEnd};
    std::copy(std::begin(chip.rowLatch), std::end(chip.rowLatch), std::begin(chip.cycle.row));
    Record(chip, timeNs, ChipEvent::CycleStart, chip.pc);
}

// A bulk erase armed by the previous command is carried out by this one.
void BeginProgramming(PicChip& chip, int64_t timeNs, CycleKind armedBulk)
{
    StartCycle(chip, timeNs, armedBulk != CycleKind::None ? armedBulk : CycleKind::EraseProgram);
}

void CheckGap(PicChip& chip, int64_t timeNs, Gap gap, int64_t sinceNs)
{
    if (TooShort(gap, timeNs - sinceNs))
        ChipViolation(chip, timeNs, ViolationOf(gap));
}

// Clock and data must stay put for a while after the entry into programming mode.
void CheckHoldAfterEntry(PicChip& chip, int64_t timeNs)
{
    if (chip.programming)
        CheckGap(chip, timeNs, Gap::Thld0, chip.enteredNs);
}

void EndWord(PicChip& chip, int64_t timeNs, Gap delayOwed)
{
    chip.wordEndNs = timeNs;
    chip.wordEndGap = delayOwed;
}

void BeginRead(PicChip& chip, MemorySpace space)
{
    chip.space = space;
    const bool isProtected = space == MemorySpace::Data ? DataProtected(chip.memory)
                                                        : chip.pc < kConfigBase && ProgramProtected(chip.memory);
    if (isProtected)
        chip.outWord = chip.memory.model->protectedRead;
    else
        chip.outWord = space == MemorySpace::Data ? DataByte(chip, chip.pc) : ReadProgramSpace(chip.memory, chip.pc);
    chip.phase = ShiftPhase::ReadWord;
}

void BeginLoad(PicChip& chip, MemorySpace space)
{
    chip.space = space;
    chip.phase = ShiftPhase::LoadWord;
}

// Load, read and increment, the same on every chip; false for other codes.
bool ExecuteAccessCommand(PicChip& chip, uint32_t code)
{
    switch (code) {
    case 0: chip.pc = kConfigBase; BeginLoad(chip, MemorySpace::Program); return true;
    case 2: BeginLoad(chip, MemorySpace::Program); return true;
    case 3: BeginLoad(chip, MemorySpace::Data); return true;
    case 4: BeginRead(chip, MemorySpace::Program); return true;
    case 5: BeginRead(chip, MemorySpace::Data); return true;
    case 6: chip.pc = NextLocation(chip.pc); return true;
    default: return false;
    }
}

// The PIC16F62xA knows no programming-only command and starts its bulk
// erases at once; what it does not know it ignores.
void ExecuteSelfTimedEraseCommand(PicChip& chip, int64_t timeNs, uint32_t code)
{
    if (ExecuteAccessCommand(chip, code))
        return;
    switch (code) {
    case 8: StartCycle(chip, timeNs, CycleKind::EraseProgram); break;
    case 9: chip.space = MemorySpace::Program; StartCycle(chip, timeNs, CycleKind::BulkProgram); break;
    case 11: chip.space = MemorySpace::Data; StartCycle(chip, timeNs, CycleKind::BulkData); break;
    default: break;
    }
}

// What the bulk erase setup sequence erases: the whole chip with the counter
// at the configuration word, else the memory last loaded. Elsewhere in the
// configuration area what it does is not known; the model erases nothing.
CycleKind SetupErase(const PicChip& chip)
{
    if (chip.pc >= kConfigBase)
        return (chip.pc & 7) == 7 ? CycleKind::ChipErase : CycleKind::None;
    return chip.space == MemorySpace::Data ? CycleKind::BulkData : CycleKind::BulkProgram;
}

// Unknown codes do nothing at all; known ones other than a begin-programming
// disarm a bulk erase that was waiting for it. Bulk Erase Setup 1 then Setup
// 2 arm the setup erase (on the PIC16F84A too, whose protected chip only it
// clears). Begin Programming Only is known to the PIC16F84A and
// PIC16F627/628 only. The bulk erase commands are not known to the PIC16F84
// (the sources do not settle it); DS30189 lists them for the PIC16C84, which
// is taken to arm them as the PIC16F84A does.
void ExecuteArmedEraseCommand(PicChip& chip, int64_t timeNs, uint32_t code)
{
    const CycleKind armed = chip.armedBulk;
    const bool setupOne = chip.setupOne;
    const ChipFamily family = chip.memory.model->family;
    const bool programOnly = family == ChipFamily::Pic16f84a || family == ChipFamily::Pic16f62x;
    const bool bulkCommands = family != ChipFamily::Pic16f84;
    chip.armedBulk = CycleKind::None;
    chip.setupOne = false;
    if (ExecuteAccessCommand(chip, code))
        return;
    if (code == 8) {
        BeginProgramming(chip, timeNs, armed);
    } else if (code == 24 && programOnly) {
        StartCycle(chip, timeNs, CycleKind::ProgramOnly);
    } else if (code == 9 && bulkCommands) {
        chip.armedBulk = CycleKind::BulkProgram;
        chip.space = MemorySpace::Program;
    } else if (code == 11 && bulkCommands) {
        chip.armedBulk = CycleKind::BulkData;
        chip.space = MemorySpace::Data;
    } else if (code == 1) {
        chip.setupOne = true;
    } else if (code == 7) {
        if (setupOne)
            chip.armedBulk = SetupErase(chip);
    } else {
        chip.armedBulk = armed;
        chip.setupOne = setupOne;
    }
}

// The PIC16F87/88 and PIC16F818/819. A cycle the host times ends with End
// Programming (23): done when its time has passed, else spoiled; any other
// command while it runs spoils it first. Bulk Erase Program (9) and Data (11)
// arm Begin Erase/Programming (8) as on the PIC16F84A. Chip Erase (31) times
// itself; the documents give it after Load Configuration, and elsewhere the
// model does nothing rather than guess. Other codes do nothing at all.
void ExecuteExternallyTimedCommand(PicChip& chip, int64_t timeNs, uint32_t code)
{
    if (chip.cycle.untilEnd) {
        const bool timeUp = timeNs >= chip.cycle.endNs;
        EndCycle(chip, timeNs, code == 23 && timeUp);
        if (code == 23)
            return;
    }
    const CycleKind armed = chip.armedBulk;
    chip.armedBulk = CycleKind::None;
    if (ExecuteAccessCommand(chip, code))
        return;
    switch (code) {
    case 8: BeginProgramming(chip, timeNs, armed); break;
    case 24: StartCycle(chip, timeNs, CycleKind::ProgramOnly); break;
    case 9: chip.armedBulk = CycleKind::BulkProgram; chip.space = MemorySpace::Program; break;
    case 11: chip.armedBulk = CycleKind::BulkData; chip.space = MemorySpace::Data; break;
    case 23: break;
    case 31:
        if (chip.pc >= kConfigBase)
            StartCycle(chip, timeNs, CycleKind::ChipErase);
        break;
    default: chip.armedBulk = armed; break;
    }
}

void ExecuteCommand(PicChip& chip, int64_t timeNs, uint32_t code)
{
    Record(chip, timeNs, ChipEvent::Command, code);
    const ChipFamily family = chip.memory.model->family;
    if (family == ChipFamily::Pic16f62xa)
        ExecuteSelfTimedEraseCommand(chip, timeNs, code);
    else if (ExternallyTimed(family))
        ExecuteExternallyTimedCommand(chip, timeNs, code);
    else
        ExecuteArmedEraseCommand(chip, timeNs, code);
}

void StartPhase(PicChip& chip, ShiftPhase phase)
{
    chip.phase = phase;
    chip.clocks = 0;
    chip.shift = 0;
}

void FallingEdge(PicChip& chip, int64_t timeNs, bool data)
{
    const int bit = chip.clocks++;
    switch (chip.phase) {
    case ShiftPhase::Command:
        chip.shift |= static_cast<uint32_t>(data) << bit;
        if (chip.clocks == kCommandBits) {
            const uint32_t code = chip.shift;
            EndWord(chip, timeNs, Gap::Tdly1);
            StartPhase(chip, ShiftPhase::Command);
            ExecuteCommand(chip, timeNs, code);  // may switch to a data phase
        }
        break;
    case ShiftPhase::LoadWord:
        chip.shift |= static_cast<uint32_t>(data) << bit;
        if (chip.clocks == kWordClocks) {
            // Data memory takes the low 8 bits when it is programmed.
            chip.latch = static_cast<uint16_t>((chip.shift >> 1) & kErasedWord);
            chip.loaded = true;
            if (chip.space == MemorySpace::Program && ExternallyTimed(chip.memory.model->family))
                chip.rowLatch[chip.pc % kRowWords] = chip.latch;
            EndWord(chip, timeNs, Gap::Tdly2);
            Record(chip, timeNs, ChipEvent::DataIn, chip.latch);
            StartPhase(chip, ShiftPhase::Command);
        }
        break;
    case ShiftPhase::ReadWord:
        if (chip.clocks == kWordClocks) {
            chip.driving = false;
            EndWord(chip, timeNs, Gap::Tdly2);
            Record(chip, timeNs, ChipEvent::DataOut, chip.outWord);
            StartPhase(chip, ShiftPhase::Command);
        }
        break;
    }
}

// During a read the chip takes the data line from the second rising edge on
// and lets it go at the sixteenth; the host samples after each falling edge.
void RisingEdge(PicChip& chip, int64_t timeNs)
{
    if (chip.clocks == 0)
        CheckGap(chip, timeNs, chip.wordEndGap, chip.wordEndNs);
    if (chip.phase != ShiftPhase::ReadWord)
        return;
    const int clock = chip.clocks + 1;
    if (clock >= 2 && clock < kWordClocks) {
        chip.driving = true;
        chip.outBit = (chip.outWord >> (clock - 2)) & 1;
        chip.outChangedNs = timeNs;
    } else if (clock == kWordClocks) {
        chip.driving = false;
    }
}

void LeaveProgramming(PicChip& chip)
{
    chip.programming = false;
    chip.driving = false;
    chip.armedBulk = CycleKind::None;
    chip.setupOne = false;
    StartPhase(chip, ShiftPhase::Command);
}

}  // namespace

bool ExternallyTimed(ChipFamily family) { return family == ChipFamily::Pic16f88 || family == ChipFamily::Pic16f819; }

int64_t CycleLengthNs(ChipFamily family, CycleKind kind, MemorySpace space)
{
    std::span<const CycleTime> table = kPic16f84aCycleTimes;
    switch (family) {
    case ChipFamily::Pic16f84a: break;
    case ChipFamily::Pic16f62xa: table = kPic16f62xaCycleTimes; break;
    case ChipFamily::Pic16f84:
    case ChipFamily::Pic16c84: table = kPic16f84CycleTimes; break;
    case ChipFamily::Pic16f62x: table = kPic16f62xCycleTimes; break;
    case ChipFamily::Pic16f88: table = kPic16f88CycleTimes; break;
    case ChipFamily::Pic16f819: table = kPic16f819CycleTimes; break;
    }
    for (const CycleTime& entry : table)
        if (entry.kind == kind)
            return space == MemorySpace::Data ? entry.dataNs : entry.programNs;
    return 0;
}

bool TooShort(Gap gap, int64_t elapsedNs)
{
    for (const MinimumTime& entry : kMinimumTimes)
        if (entry.gap == gap)
            return elapsedNs < std::max(entry.minNs, kSimultaneousNs);
    return false;
}

Line ViolationOf(Gap gap)
{
    for (const MinimumTime& entry : kMinimumTimes)
        if (entry.gap == gap)
            return entry.violation;
    return Line::SetupTime;
}

void ChipViolation(PicChip& chip, int64_t timeNs, Line violation)
{
    // One entry per rule and moment is enough; the list is bounded like the events.
    for (const LineEvent& seen : chip.violations)
        if (seen.timeNs == timeNs && seen.line == violation)
            return;
    if (chip.violations.size() < kMaxEvents)
        chip.violations.push_back({timeNs, violation, true});
}

void ResetChip(PicChip& chip, const ChipMemory& memory)
{
    chip = PicChip{};
    chip.memory = memory;
}

void SettleChip(PicChip& chip, int64_t timeNs)
{
    if (chip.cycle.kind != CycleKind::None && !chip.cycle.untilEnd && timeNs >= chip.cycle.endNs)
        EndCycle(chip, chip.cycle.endNs, true);
}

void ChipPowerChanged(PicChip& chip, int64_t timeNs, bool on, bool clock, bool data)
{
    SettleChip(chip, timeNs);
    chip.clock = clock;
    if (on == chip.powered)
        return;
    chip.powered = on;
    if (!on) {
        DisturbCycle(chip, timeNs, false);
        if (chip.programming)
            Record(chip, timeNs, ChipEvent::PowerOff, 0);
        LeaveProgramming(chip);
        return;
    }
    // With clock or data high at the rise the chip just runs and ignores the clock.
    if (clock || data)
        return;
    LeaveProgramming(chip);
    CheckGap(chip, timeNs, Gap::Tset0, chip.pinChangeNs);
    chip.programming = true;
    chip.pc = 0;
    chip.latch = kErasedWord;
    std::fill(std::begin(chip.rowLatch), std::end(chip.rowLatch), kErasedWord);
    chip.loaded = false;
    chip.space = MemorySpace::Program;
    chip.enteredNs = timeNs;
    chip.latchFallNs = kLongAgoNs;
    chip.wordEndNs = kLongAgoNs;
    chip.outChangedNs = kLongAgoNs;
    Record(chip, timeNs, ChipEvent::PowerOn, 0);
}

void ChipClockChanged(PicChip& chip, int64_t timeNs, bool clock, bool data)
{
    SettleChip(chip, timeNs);
    const bool edge = clock != chip.clock;
    chip.clock = clock;
    if (!edge)
        return;
    CheckHoldAfterEntry(chip, timeNs);
    chip.pinChangeNs = timeNs;
    if (!chip.programming)
        return;
    DisturbCycle(chip, timeNs, true);
    if (clock) {
        RisingEdge(chip, timeNs);
        return;
    }
    // Commands and loaded words are latched on the falling edge; read words are not.
    if (chip.phase != ShiftPhase::ReadWord) {
        CheckGap(chip, timeNs, Gap::Tset1, chip.dataChangeNs);
        chip.latchFallNs = timeNs;
    }
    FallingEdge(chip, timeNs, data);
}

void ChipDataChanged(PicChip& chip, int64_t timeNs)
{
    SettleChip(chip, timeNs);
    CheckHoldAfterEntry(chip, timeNs);
    if (chip.programming)
        CheckGap(chip, timeNs, Gap::Thld1, chip.latchFallNs);
    chip.dataChangeNs = timeNs;
    chip.pinChangeNs = timeNs;
}

}  // namespace sim
