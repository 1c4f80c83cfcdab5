#include "ini_text.h"

#include <climits>
#include <filesystem>
#include <fstream>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    return s;
}

std::string_view TrimRight(std::string_view s)
{
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Decodes one UTF-8 sequence; malformed bytes come back one at a time as
// themselves so that comparison stays byte-exact for them.
char32_t NextCodePoint(std::string_view s, std::size_t& i)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80 || i + 1 >= s.size()) {
        ++i;
        return b0;
    }
    const auto b1 = static_cast<unsigned char>(s[i + 1]);
    if ((b0 & 0xE0) == 0xC0 && (b1 & 0xC0) == 0x80) {
        i += 2;
        return (char32_t(b0 & 0x1F) << 6) | (b1 & 0x3F);
    }
    ++i;
    return 0x110000 + b0;  // outside Unicode: never equal to a decoded letter
}

char32_t FoldCase(char32_t c)
{
    if (c >= 'A' && c <= 'Z')
        return c + 32;
    if (c >= 0x410 && c <= 0x42F)  // А..Я
        return c + 32;
    if (c >= 0x400 && c <= 0x40F)  // Ѐ..Џ (Ё among them)
        return c + 80;
    return c;
}

}  // namespace

std::vector<IniEntry> ParseIniText(std::string_view text)
{
    std::vector<IniEntry> entries;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);

    int groupIndex = -1;
    std::string group;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("\r\n");
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);

        line = TrimLeft(line);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            group = std::string(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
            ++groupIndex;
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        entries.push_back({groupIndex, group, std::string(TrimRight(line.substr(0, eq))),
                           std::string(TrimLeft(line.substr(eq + 1)))});
    }
    return entries;
}

bool IniNamesEqual(std::string_view a, std::string_view b)
{
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (FoldCase(NextCodePoint(a, i)) != FoldCase(NextCodePoint(b, j)))
            return false;
    }
    return i == a.size() && j == b.size();
}

const IniEntry* FindIniEntry(const std::vector<IniEntry>& entries, int groupIndex, std::string_view key)
{
    for (const IniEntry& e : entries) {
        if (e.groupIndex == groupIndex && IniNamesEqual(e.key, key))
            return &e;
    }
    return nullptr;
}

std::optional<int> FindIniGroup(const std::vector<IniEntry>& entries, std::string_view group)
{
    // Groups without entries are not in the list, and an empty group cannot
    // contribute a key, so looking among the entries is enough.
    for (const IniEntry& e : entries) {
        if (e.groupIndex >= 0 && IniNamesEqual(e.group, group))
            return e.groupIndex;
    }
    return std::nullopt;
}

int32_t IniLeadingInteger(std::string_view value)
{
    value = TrimLeft(value);
    bool negative = false;
    if (!value.empty() && (value.front() == '-' || value.front() == '+')) {
        negative = value.front() == '-';
        value.remove_prefix(1);
    }
    int64_t result = 0;
    for (char c : value) {
        if (c < '0' || c > '9')
            break;
        result = result * 10 + (c - '0');
        if (result > int64_t(INT32_MAX) + 1)
            result = int64_t(INT32_MAX) + 1;
    }
    if (negative)
        return static_cast<int32_t>(-result);
    return static_cast<int32_t>(result > INT32_MAX ? INT32_MAX : result);
}

std::string_view IniTrimmedText(std::string_view value) { return TrimRight(value); }

std::optional<std::string> ReadFileText(const std::string& path, std::size_t maxBytes)
{
    // The path is UTF-8; on Windows a plain narrow name would go through the ANSI code page.
    std::ifstream in(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text;
    char buffer[65536];
    while (text.size() < maxBytes && in.read(buffer, sizeof buffer).gcount() > 0)
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
    if (in.bad())
        return std::nullopt;
    if (text.size() > maxBytes)
        text.resize(maxBytes);
    return text;
}
