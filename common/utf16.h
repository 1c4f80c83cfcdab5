// UTF-8 <-> UTF-16 for the Windows wide-character calls: the programs keep
// their texts in UTF-8 and hand them to the system as UTF-16.
#pragma once

#include <string>
#include <string_view>

// Malformed UTF-8 bytes become U+FFFD.
std::wstring Utf8ToUtf16(std::string_view text);

// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::wstring_view text);
