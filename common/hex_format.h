// Hexadecimal digits: fixed-width uppercase as the programmer tools print
// words and bytes, and the value of one digit as the hex file readers take it.
#pragma once

#include <cstdint>
#include <string>

// Hexadecimal without leading zeros, right-justified with "0" to four
// characters; a longer text is cut to its first four.
std::string FormatWord4(uint32_t value);

// The same in a field of two characters.
std::string FormatByte2(uint32_t value);

// The value of one hexadecimal digit of either case; -1 for any other character.
int HexDigit(char c);
