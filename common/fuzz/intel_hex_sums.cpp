#include "intel_hex_sums.h"

#include <algorithm>
#include <cstddef>

std::string WithRightSums(std::string_view text)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string line(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        const bool record = line.size() >= 11 && line.size() % 2 == 1 && line[0] == ':' &&
                            line.find_first_not_of("0123456789ABCDEFabcdef", 1) == std::string::npos;
        if (record) {
            const std::size_t count = (line.size() - 11) / 2;
            line[1] = kDigits[count >> 4 & 0xF];
            line[2] = kDigits[count & 0xF];
            unsigned sum = 0;
            for (std::size_t i = 1; i + 2 < line.size(); i += 2)
                sum += static_cast<unsigned>(std::stoul(line.substr(i, 2), nullptr, 16));
            line[line.size() - 2] = kDigits[(0x100 - sum) >> 4 & 0xF];
            line[line.size() - 1] = kDigits[(0x100 - sum) & 0xF];
        }
        out += line + '\n';
    }
    return out;
}

void CheckAsIsAndWithRightSums(const std::uint8_t* data, std::size_t size, void (*check)(std::string_view text))
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    check(text);
    check(WithRightSums(text));
}
