#include "reports.h"

#include "hex_format.h"

#include <cstdio>

namespace {

constexpr size_t kMismatchesShown = 10;

std::string Hex(uint32_t value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

const char* PlaceName(const ChipInfo& chip, const Mismatch& m)
{
    switch (m.kind) {
    case MemoryKind::Program:
        return "память программ";
    case MemoryKind::Data:
        return "память данных";
    case MemoryKind::Configuration:
        break;
    }
    if (m.address == chip.configBase + static_cast<uint32_t>(chip.configWordOffset))
        return "слово конфигурации";
    if (chip.config2Mask != 0 && m.address == chip.configBase + static_cast<uint32_t>(chip.config2Offset))
        return "второе слово конфигурации";
    return "идентификатор";
}

std::string FieldMeaning(const ConfigField& field, uint16_t config)
{
    const uint16_t bits = config & field.mask;
    for (const ConfigFieldValue& value : field.values)
        if (value.bits == bits)
            return value.meaning;
    return "недопустимое сочетание битов " + Hex(bits, 4);
}

}  // namespace

std::string CountOf(int n, const char* one, const char* few, const char* many)
{
    const int tens = n % 100, units = n % 10;
    const char* word = many;
    if (units == 1 && tens != 11)
        word = one;
    else if (units >= 2 && units <= 4 && (tens < 12 || tens > 14))
        word = few;
    return std::to_string(n) + " " + word;
}

std::string HeldSummary(const HeldCounts& held)
{
    std::string text;
    const auto add = [&text](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
    if (held.program > 0)
        add("память программ — " + CountOf(held.program, "слово", "слова", "слов"));
    if (held.data > 0)
        add("память данных — " + CountOf(held.data, "байт", "байта", "байтов"));
    if (held.ids > 0)
        add("идентификаторы — " + CountOf(held.ids, "слово", "слова", "слов"));
    if (held.config && held.config2)
        add("оба слова конфигурации");
    else if (held.config || held.config2)
        add(held.config ? "слово конфигурации" : "второе слово конфигурации");
    return text.empty() ? "файл не задаёт ни одной ячейки" : text;
}

std::string MismatchLine(const ChipInfo& chip, const Mismatch& m)
{
    const int digits = m.kind == MemoryKind::Data ? 2 : 4;
    return std::string(PlaceName(chip, m)) + ", адрес " + Hex(m.address, 4) + ": нужно " + Hex(m.wanted, digits) +
           ", прочитано " + Hex(m.read, digits);
}

std::string MismatchList(const ChipInfo& chip, const std::vector<Mismatch>& mismatches)
{
    std::string text;
    for (size_t i = 0; i < mismatches.size() && i < kMismatchesShown; ++i)
        text += MismatchLine(chip, mismatches[i]) + "\n";
    if (mismatches.size() > kMismatchesShown)
        text += "… и ещё " + std::to_string(mismatches.size() - kMismatchesShown) + "\n";
    return text;
}

std::string InfoText(const ChipInfo* chip, const ConfigArea& area)
{
    std::string text;
    if (chip != nullptr && !HasDeviceId(*chip)) {
        text += "Устройство: " + std::string(chip->name) + " по --device (идентификатора устройства у него нет, прочитано " +
                FormatWord4(area.deviceId) + ")\n";
    } else if (chip != nullptr) {
        const int revision = area.deviceId & ~chip->deviceIdMask & 0x3FFF;
        text += "Устройство: " + std::string(chip->name) + ", ревизия " + std::to_string(revision) +
                " (идентификатор устройства " + FormatWord4(area.deviceId) + ")\n";
    } else {
        text += "Устройство: не опознано (идентификатор устройства " + FormatWord4(area.deviceId) + ")\n";
    }
    text += "Идентификаторы:";
    // Appended piece by piece: GCC 12 warns wrongly (-Wrestrict) about
    // " " + string at -O3.
    for (uint16_t id : area.ids) {
        text += ' ';
        text += FormatWord4(id);
    }
    const bool second = chip != nullptr && chip->config2Mask != 0;
    const uint16_t words[] = {area.config, area.config2};
    for (int word = 0; word < (second ? 2 : 1); ++word) {
        text += std::string(word == 0 ? "\nКонфигурация: " : "Конфигурация 2: ") + FormatWord4(words[word]) + "\n";
        if (chip != nullptr)
            for (const ConfigField& field : chip->configFields)
                if (field.word == word)
                    text += "  " + std::string(field.name) + ": " + FieldMeaning(field, words[word]) + "\n";
    }
    return text;
}

std::string Seconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f с", seconds);
    std::string result = text;
    for (char& c : result)
        if (c == '.')
            c = ',';
    return result;
}
