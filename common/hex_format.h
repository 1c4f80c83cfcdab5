// Fixed-width uppercase hexadecimal, as the programmer tools print words and bytes.
#pragma once

#include <cstdint>
#include <string>

// Hexadecimal without leading zeros, right-justified with "0" to four
// characters; a longer text is cut to its first four.
std::string FormatWord4(uint32_t value);

// The same in a field of two characters.
std::string FormatByte2(uint32_t value);
