#include "programmer_settings.h"

#include "ini_text.h"
#include "vantrel_pic.h"

#include <algorithm>

ProgrammerSettings ParseProgrammerSettings(std::string_view text)
{
    const std::vector<IniEntry> entries = ParseIniText(text);
    ProgrammerSettings settings;
    const auto readInteger = [&](const char* key, int32_t& field) {
        if (const IniEntry* entry = FindIniEntry(entries, -1, key))
            field = IniLeadingInteger(entry->value);
    };
    readInteger("Vantrel_Delay", settings.delay);
    readInteger("Vantrel_DataOut_Inv", settings.dataOutInv);
    readInteger("Vantrel_DataIn_Inv", settings.dataInInv);
    readInteger("Vantrel_Clock_Inv", settings.clockInv);
    readInteger("Vantrel_Pitanie", settings.powerInv);
    if (const IniEntry* entry = FindIniEntry(entries, -1, "ComPortName"))
        settings.portName = std::string(IniTrimmedText(entry->value));
    return settings;
}

std::optional<ProgrammerSettings> ReadProgrammerSettings(const std::string& path)
{
    // A settings file is a few lines; anything past 16 MB is not one.
    const std::optional<std::string> text = ReadFileText(path);
    if (!text)
        return std::nullopt;
    return ParseProgrammerSettings(*text);
}

std::string DelayRangeWarning(const ProgrammerSettings& settings)
{
    const int32_t used = std::clamp<int32_t>(settings.delay, 0, VANTREL_MAX_DELAY);
    if (used == settings.delay)
        return {};
    return "Vantrel_Delay = " + std::to_string(settings.delay) + " вне допустимого диапазона 0-" +
           std::to_string(VANTREL_MAX_DELAY) + " мкс; используется " + std::to_string(used) + " мкс";
}
