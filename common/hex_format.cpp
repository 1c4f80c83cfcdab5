#include "hex_format.h"

namespace {

std::string FormatHexField(uint32_t value, std::size_t width)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    do {
        hex.insert(hex.begin(), digits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    if (hex.size() < width)
        hex.insert(0, width - hex.size(), '0');
    return hex.substr(0, width);
}

}  // namespace

std::string FormatWord4(uint32_t value) { return FormatHexField(value, 4); }

std::string FormatByte2(uint32_t value) { return FormatHexField(value, 2); }

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
