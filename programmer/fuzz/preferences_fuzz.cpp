// libFuzzer target for the Preferences.ini reader. The input is the file's
// bytes. Besides not crashing, the reading has to hold what the file rules
// promise:
//   - each integer is what its leading digits say, saturated to 32 bits;
//   - the port name has no blanks at its ends and no line break in it;
//   - a byte-order mark in front, CR LF for LF, and anything after a group
//     line change nothing.
#include "programmer_settings.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace {

bool SameSettings(const ProgrammerSettings& a, const ProgrammerSettings& b)
{
    return a.delay == b.delay && a.dataOutInv == b.dataOutInv && a.dataInInv == b.dataInInv &&
           a.clockInv == b.clockInv && a.powerInv == b.powerInv && a.portName == b.portName;
}

// The number a value's leading digits stand for, clamped to the 32-bit range.
int64_t LeadingNumber(std::string_view value)
{
    std::size_t i = value.find_first_not_of(" \t");
    if (i == std::string_view::npos)
        return 0;
    const bool negative = value[i] == '-';
    if (value[i] == '-' || value[i] == '+')
        ++i;
    int64_t n = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i)
        n = std::min<int64_t>(n * 10 + (value[i] - '0'), int64_t(1) << 40);
    n = negative ? -n : n;
    return std::clamp<int64_t>(n, INT32_MIN, INT32_MAX);
}

// The value of the first line "key=..." before any group line, with the key
// in any letter case and blanks around it; nullopt when there is none.
std::optional<std::string_view> ValueOf(std::string_view text, std::string_view key)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    while (!text.empty()) {
        std::string_view line = text.substr(0, text.find_first_of("\r\n"));
        text.remove_prefix(std::min(text.size(), line.size() + 1));
        line.remove_prefix(std::min(line.size(), line.find_first_not_of(" \t")));
        if (!line.empty() && line[0] == '[')
            return std::nullopt;
        const std::size_t eq = line.find('=');
        if (line.empty() || line[0] == ';' || eq == std::string_view::npos)
            continue;
        std::string_view name = line.substr(0, eq);
        while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
            name.remove_suffix(1);
        if (name.size() != key.size())
            continue;
        bool same = true;
        for (std::size_t k = 0; k < key.size() && same; ++k)
            same = std::tolower(static_cast<unsigned char>(name[k])) == std::tolower(key[k]) &&
                   static_cast<unsigned char>(name[k]) < 0x80;
        if (same)
            return line.substr(eq + 1);
    }
    return std::nullopt;
}

void CheckInteger(std::string_view text, const char* key, int32_t read, int32_t fallback)
{
    const std::optional<std::string_view> value = ValueOf(text, key);
    if (read != (value ? LeadingNumber(*value) : fallback))
        std::abort();
}

std::string Replaced(std::string_view text, char from, std::string_view to)
{
    std::string out;
    for (char c : text) {
        if (c == from)
            out += to;
        else
            out += c;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ProgrammerSettings settings = ParseProgrammerSettings(text);
    const ProgrammerSettings defaults;

    CheckInteger(text, "Vantrel_Delay", settings.delay, defaults.delay);
    CheckInteger(text, "Vantrel_DataOut_Inv", settings.dataOutInv, defaults.dataOutInv);
    CheckInteger(text, "Vantrel_DataIn_Inv", settings.dataInInv, defaults.dataInInv);
    CheckInteger(text, "Vantrel_Clock_Inv", settings.clockInv, defaults.clockInv);
    CheckInteger(text, "Vantrel_Pitanie", settings.powerInv, defaults.powerInv);

    const std::string& port = settings.portName;
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    const bool blankEnd = !port.empty() && (blank(port.front()) || blank(port.back()));
    if (blankEnd || port.find_first_of("\r\n") != std::string::npos)
        std::abort();

    const std::string file(text);
    const bool marked = text.substr(0, 3) == "\xEF\xBB\xBF";
    if (!marked && !SameSettings(settings, ParseProgrammerSettings("\xEF\xBB\xBF" + file)))
        std::abort();
    if (!SameSettings(settings, ParseProgrammerSettings(Replaced(text, '\n', "\r\n"))))
        std::abort();
    const std::string grouped = file + "\n[Programmer]\nVantrel_Delay=1\nComPortName=X\n";
    if (!SameSettings(settings, ParseProgrammerSettings(grouped)))
        std::abort();
    return 0;
}
