// Windows code page 1251 (Cyrillic) <-> UTF-8, for files that keep the
// Windows programs' encoding on disk.
#pragma once

#include <string>
#include <string_view>

// Every byte maps to one character; 0x98, unassigned in the code page, becomes U+FFFD.
std::string Cp1251ToUtf8(std::string_view text);

// Characters the code page lacks, and malformed UTF-8 bytes, become "?".
std::string Utf8ToCp1251(std::string_view text);
