#include "chip_table.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace {

// PIC16F84A, from Microchip's EEPROM memory programming document for
// the PIC16F8X (DS30262) and its successor for the PIC16F84A (DS39589):
// TPROG, the Begin Programming Only cycle, at most 8 ms; Begin
// Erase/Programming erases then programs, TERA + TPROG at most 4 + 4 ms; a
// bulk erase is given 10 ms. After a bulk erase either cycle will do; the
// programming-only cycle is listed first because it does only what is needed.
constexpr std::array<ProgrammingCycle, 2> kPic16f84aCycles{{
    {24, 8000},
    {8, 4000 + 4000},
}};

constexpr std::array<ConfigFieldValue, 4> kOscillator{{
    {0x0000, "LP"},
    {0x0001, "XT"},
    {0x0002, "HS"},
    {0x0003, "RC"},
}};
constexpr std::array<ConfigFieldValue, 2> kWatchdog{{
    {0x0000, "выключен"},
    {0x0004, "включён"},
}};
constexpr std::array<ConfigFieldValue, 2> kPowerUpTimer{{
    {0x0000, "включён"},  // the bit is active low
    {0x0008, "выключен"},
}};
constexpr std::array<ConfigFieldValue, 2> kCodeProtection{{
    {0x0000, "включена"},
    {0x3FF0, "выключена"},
}};
constexpr std::array<ConfigField, 4> kPic16f84aFields{{
    {"генератор", 0x0003, kOscillator},
    {"сторожевой таймер", 0x0004, kWatchdog},
    {"таймер включения питания", 0x0008, kPowerUpTimer},
    {"защита кода", 0x3FF0, kCodeProtection},
}};

const std::array<ChipInfo, 1> kChips{{
    {
        .name = "PIC16F84A",
        .deviceId = 0x0560,
        .deviceIdMask = 0x3FE0,
        .programWords = 1024,
        .dataBytes = 64,
        .idWords = 4,
        .configBase = 0x2000,
        .deviceIdOffset = 6,
        .configWordOffset = 7,
        .dataBase = 0x2100,
        .wordMask = 0x3FFF,
        .codeProtectionMask = 0x3FF0,
        .commands = kMidRangeCommands,
        .bulkEraseMicroseconds = 10000,
        .programCycles = kPic16f84aCycles,
        .dataCycles = kPic16f84aCycles,
        .configCycles = kPic16f84aCycles,
        .configFields = kPic16f84aFields,
    },
}};

bool SameNameIgnoringCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
    });
}

}  // namespace

std::span<const ChipInfo> KnownChips() { return kChips; }

const ChipInfo* ChipByDeviceId(uint16_t deviceIdWord)
{
    if (DeviceIdAbsent(deviceIdWord))
        return nullptr;
    for (const ChipInfo& chip : kChips)
        if ((deviceIdWord & chip.deviceIdMask) == chip.deviceId)
            return &chip;
    return nullptr;
}

const ChipInfo* ChipByName(std::string_view name)
{
    for (const ChipInfo& chip : kChips)
        if (SameNameIgnoringCase(chip.name, name))
            return &chip;
    return nullptr;
}

ProgrammingCycle ShortestCycle(const ChipInfo& chip, MemoryKind kind)
{
    const std::span<const ProgrammingCycle> cycles = kind == MemoryKind::Program ? chip.programCycles
                                                     : kind == MemoryKind::Data  ? chip.dataCycles
                                                                                 : chip.configCycles;
    return *std::ranges::min_element(cycles, {}, &ProgrammingCycle::maxMicroseconds);
}

bool CodeProtected(const ChipInfo& chip, uint16_t config)
{
    return (config & chip.codeProtectionMask) != chip.codeProtectionMask;
}

bool DeviceIdAbsent(uint16_t deviceIdWord)
{
    return (deviceIdWord & 0x3FFF) == 0x3FFF || (deviceIdWord & 0x3FFF) == 0;
}
