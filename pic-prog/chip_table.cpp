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

// PIC16F627A/628A/648A, from Microchip's flash programming document for
// them, DS41196. Begin Programming (8) is the only programming
// cycle; there is no programming-only cycle. TPROG: revision E gives 2.5 ms,
// revision G 4 ms; the longer one is used. Data memory: TDPROG 6 ms.
constexpr std::array<ProgrammingCycle, 1> kPic16f62xaProgramCycles{{{8, 4000}}};
constexpr std::array<ProgrammingCycle, 1> kPic16f62xaDataCycles{{{8, 6000}}};

constexpr std::array<ConfigFieldValue, 8> kPic16f62xaOscillator{{
    {0x0000, "LP"},
    {0x0001, "XT"},
    {0x0002, "HS"},
    {0x0003, "EC, RA6 — ввод-вывод"},
    {0x0010, "INTOSC, RA6 — ввод-вывод"},
    {0x0011, "INTOSC, CLKOUT на RA6"},
    {0x0012, "RC, RA6 — ввод-вывод"},
    {0x0013, "RC, CLKOUT на RA6"},
}};
constexpr std::array<ConfigFieldValue, 2> kMasterClear{{
    {0x0000, "выключен, RA5 — цифровой вход"},
    {0x0020, "включён"},
}};
constexpr std::array<ConfigFieldValue, 2> kBrownOut{{
    {0x0000, "выключен"},
    {0x0040, "включён"},
}};
constexpr std::array<ConfigFieldValue, 2> kLowVoltage{{
    {0x0000, "выключено, RB4 — ввод-вывод"},
    {0x0080, "включено, RB4 — PGM"},
}};
constexpr std::array<ConfigFieldValue, 2> kDataProtection{{
    {0x0000, "включена"},
    {0x0100, "выключена"},
}};
constexpr std::array<ConfigFieldValue, 2> kWholeCodeProtection{{
    {0x0000, "включена"},
    {0x2000, "выключена"},
}};
constexpr std::array<ConfigField, 8> kPic16f62xaFields{{
    {"генератор", 0x0013, kPic16f62xaOscillator},
    {"сторожевой таймер", 0x0004, kWatchdog},
    {"таймер включения питания", 0x0008, kPowerUpTimer},
    {"MCLR", 0x0020, kMasterClear},
    {"сброс при снижении питания", 0x0040, kBrownOut},
    {"низковольтное программирование", 0x0080, kLowVoltage},
    {"защита EEPROM данных", 0x0100, kDataProtection},
    {"защита кода", 0x2000, kWholeCodeProtection},
}};

// The PIC16F627A/628A/648A differ only in their id and memory sizes.
constexpr ChipInfo Pic16f62xa(const char* name, uint16_t deviceId, int programWords, int dataBytes)
{
    return {
        .name = name,
        .deviceId = deviceId,
        .deviceIdMask = 0x3FE0,
        .programWords = programWords,
        .dataBytes = dataBytes,
        .idWords = 4,
        .configBase = 0x2000,
        .deviceIdOffset = 6,
        .configWordOffset = 7,
        .dataBase = 0x2100,
        .wordMask = 0x3FFF,
        .configMask = 0x21FF,
        .codeProtectionMask = 0x2000,  // /CP
        .commands = kFlashSelfTimedEraseCommands,
        // TERA 6 ms (DS41196); some programmers wait 10 ms, which costs
        // little once per write and covers a slow erase of a full chip.
        .bulkEraseMicroseconds = 10000,
        .programCycles = kPic16f62xaProgramCycles,
        .dataCycles = kPic16f62xaDataCycles,
        .configCycles = kPic16f62xaProgramCycles,
        .configFields = kPic16f62xaFields,
        .dataProtectionMask = 0x0100,  // /CPD
    };
}

const std::array<ChipInfo, 4> kChips{{
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
        .configMask = 0x3FFF,
        .codeProtectionMask = 0x3FF0,
        .commands = kMidRangeCommands,
        .bulkEraseMicroseconds = 10000,
        .programCycles = kPic16f84aCycles,
        .dataCycles = kPic16f84aCycles,
        .configCycles = kPic16f84aCycles,
        .configFields = kPic16f84aFields,
    },
    Pic16f62xa("PIC16F627A", 0x1040, 1024, 128),
    Pic16f62xa("PIC16F628A", 0x1060, 2048, 128),
    Pic16f62xa("PIC16F648A", 0x1100, 4096, 256),
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

bool DataProtected(const ChipInfo& chip, uint16_t config)
{
    return (config & chip.dataProtectionMask) != chip.dataProtectionMask;
}

bool DeviceIdAbsent(uint16_t deviceIdWord)
{
    return (deviceIdWord & 0x3FFF) == 0x3FFF || (deviceIdWord & 0x3FFF) == 0;
}
