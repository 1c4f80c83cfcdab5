// Reading INI-style settings text, as the bench programs store it.
//
// The parser is deliberately forgiving: any byte sequence gives a list of
// entries (possibly empty) and never fails. Callers decide which group they
// look in and what a missing key means.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct IniEntry {
    int groupIndex;     // -1 before the first group line, then 0, 1, ...
    std::string group;  // name of that group ("" before the first group line)
    std::string key;    // trailing blanks removed
    std::string value;  // leading blanks removed; trailing blanks kept
};

// Splits text into entries. A UTF-8 byte-order mark at the start is skipped;
// lines end at CR or LF; blank lines, ";" comments and lines without "=" are
// ignored; "[" opens a group named by the text up to "]".
std::vector<IniEntry> ParseIniText(std::string_view text);

// Case-blind comparison of keys and group names: ASCII letters and the
// Cyrillic alphabet (UTF-8) fold to one case.
bool IniNamesEqual(std::string_view a, std::string_view b);

// First entry of the given group whose key matches, or nullptr.
// groupIndex -1 selects the entries before the first group line.
const IniEntry* FindIniEntry(const std::vector<IniEntry>& entries, int groupIndex, std::string_view key);

// Index of the first group whose name matches, or nullopt.
std::optional<int> FindIniGroup(const std::vector<IniEntry>& entries, std::string_view group);

// Decimal value from the leading digits: optional blanks and tabs, an optional
// sign, then digits up to the first non-digit. No digits gives 0. Values past
// the 32-bit range saturate rather than overflow.
int32_t IniLeadingInteger(std::string_view value);

// The value without trailing blanks and tabs.
std::string_view IniTrimmedText(std::string_view value);

// Reads a whole file, at most maxBytes of it. nullopt when it cannot be opened.
std::optional<std::string> ReadFileText(const std::string& path, std::size_t maxBytes = 16u << 20);
