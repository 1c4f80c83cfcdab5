// The chips pic-prog knows: how each names itself, how large its memories
// are, which commands erase and program them and how long each cycle may
// take. Times are the maxima of the manufacturer's programming document,
// never typical values: a wait that suffices on one sample may not on the next.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

enum class MemoryKind : uint8_t { Program, Data, Configuration };

// One way of programming a location after a bulk erase.
struct ProgrammingCycle {
    uint8_t command;           // 6-bit command code that starts the cycle
    uint32_t maxMicroseconds;  // longest the self-timed cycle may run; the wait before endCommand
    uint8_t endCommand = 0;    // ends a cycle the host times (End Programming); 0: the chip times it
};

struct ConfigFieldValue {
    uint16_t bits;  // the field's bits, in place within the word
    const char* meaning;
};

// One setting packed into the configuration word, for `info`.
struct ConfigField {
    const char* name;
    uint16_t mask;
    std::span<const ConfigFieldValue> values;
    int word = 0;  // 0: the configuration word; 1: the second one
};

// How an erase is started once all ones are loaded.
enum class EraseSequence : uint8_t {
    BulkErase,      // the bulk erase command of the memory (then Begin Programming unless self-timed)
    SetupSequence,  // Bulk Erase Setup 1, Setup 2, Begin Programming, wait, Setup 1, Setup 2
};

struct ChipCommands {
    uint8_t loadConfiguration;
    uint8_t loadProgram;
    uint8_t loadData;
    uint8_t readProgram;
    uint8_t readData;
    uint8_t incrementAddress;
    uint8_t bulkEraseProgram;
    uint8_t bulkEraseData;
    uint8_t beginEraseProgramming;  // starts an armed bulk erase
    bool bulkEraseSelfTimed;        // the bulk erase commands start the erase themselves
    uint8_t bulkEraseSetup1 = 0;    // on chips that know the bulk erase setup sequence
    uint8_t bulkEraseSetup2 = 0;
    // Code protection goes only with Bulk Erase Setup 1 and 2 given with the
    // counter at the configuration word, around a Begin Programming; the
    // plain bulk erases do not clear it. Otherwise a bulk erase of program
    // memory from the configuration area clears it.
    bool eraseSetupClearsProtection = false;
    // How each memory is erased. The setup sequence given at the
    // configuration word erases the whole chip, code protection included.
    EraseSequence programErase = EraseSequence::BulkErase;
    EraseSequence dataErase = EraseSequence::BulkErase;
    // On chips whose cycles the host ends: End Programming, given after the
    // wait of every programming cycle and bulk erase.
    uint8_t endProgramming = 0;
    // Chip Erase, given after Load Configuration: program and data memory,
    // identifiers, configuration words and protection at once; 0: none.
    uint8_t chipErase = 0;
};

// The command set of Microchip's mid-range flash parts, also what reads a
// device id before the chip is known.
inline constexpr ChipCommands kMidRangeCommands{
    .loadConfiguration = 0,
    .loadProgram = 2,
    .loadData = 3,
    .readProgram = 4,
    .readData = 5,
    .incrementAddress = 6,
    .bulkEraseProgram = 9,
    .bulkEraseData = 11,
    .beginEraseProgramming = 8,
    .bulkEraseSelfTimed = false,
    .bulkEraseSetup1 = 1,
    .bulkEraseSetup2 = 7,
    .eraseSetupClearsProtection = true,
};

// The PIC16F627A/628A/648A: the same codes, but a bulk erase runs as soon as
// its command is given, with no Begin Programming after it, and no setup
// sequence.
inline constexpr ChipCommands kFlashSelfTimedEraseCommands = [] {
    ChipCommands c = kMidRangeCommands;
    c.bulkEraseSelfTimed = true;
    c.bulkEraseSetup1 = c.bulkEraseSetup2 = 0;
    c.eraseSetupClearsProtection = false;
    return c;
}();

// The PIC16F84, PIC16C84 and PIC16F627/628: the same codes, erased by the
// bulk erase setup sequence, which also clears code protection. A chip of
// them that erases data memory otherwise says so in its table entry.
inline constexpr ChipCommands kSetupEraseCommands = [] {
    ChipCommands c = kMidRangeCommands;
    c.programErase = c.dataErase = EraseSequence::SetupSequence;
    return c;
}();

struct ChipInfo {
    const char* name;
    uint16_t deviceId;      // device id word with the revision bits clear
    uint16_t deviceIdMask;  // bits that name the device; the rest is the revision; 0: the chip has no id
    int programWords;
    int dataBytes;
    int idWords;
    uint16_t configBase;      // word address of the first identifier word
    int deviceIdOffset;       // from configBase
    int configWordOffset;     // from configBase
    uint16_t dataBase;        // word address of data memory in hex files
    uint16_t wordMask;        // bits of a program word
    uint16_t configMask;      // implemented bits of the configuration word; the rest read 0
    uint16_t codeProtectionMask;  // configuration bits that are all 1 when program memory is not protected
    ChipCommands commands;
    uint32_t bulkEraseMicroseconds;
    // The cycles that program a location after a bulk erase, per memory kind.
    std::span<const ProgrammingCycle> programCycles;
    std::span<const ProgrammingCycle> dataCycles;
    std::span<const ProgrammingCycle> configCycles;
    std::span<const ConfigField> configFields;
    uint16_t dataProtectionMask = 0;  // the same for data memory; 0 when the chip cannot protect it
    // Program memory and the configuration area take this many words per
    // cycle: loaded one by one into the latches, then programmed at once.
    int rowWords = 1;
    int config2Offset = 0;     // from configBase, of a second configuration word
    uint16_t config2Mask = 0;  // its implemented bits; 0: the chip has none
    uint32_t endProgrammingMicroseconds = 0;  // after End Programming
};

std::span<const ChipInfo> KnownChips();

// The chip whose device id this word carries; nullptr when none.
const ChipInfo* ChipByDeviceId(uint16_t deviceIdWord);

// Case-blind lookup by name ("pic16f84a"); nullptr when unknown.
const ChipInfo* ChipByName(std::string_view name);

// The shortest cycle the chip allows for the memory kind; on a tie the
// first one listed.
ProgrammingCycle ShortestCycle(const ChipInfo& chip, MemoryKind kind);

// True when the configuration word protects program memory (code) or data
// memory: the chip then reads back something other than what it holds, and
// only an erase of the whole chip clears the protection.
bool CodeProtected(const ChipInfo& chip, uint16_t config);
bool DataProtected(const ChipInfo& chip, uint16_t config);

// True when the identifiers and configuration word are erased only with the
// whole chip (by the setup sequence or Chip Erase).
bool ConfigErasedOnlyWithWholeChip(const ChipInfo& chip);

// False for the chips that carry no device id (PIC16F84, PIC16C84): only
// --device names them.
bool HasDeviceId(const ChipInfo& chip);

// A device id that says nothing: all ones (no chip drives the line, or a
// part without an id such as the PIC16F84) or all zeros.
bool DeviceIdAbsent(uint16_t deviceIdWord);
