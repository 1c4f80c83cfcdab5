#include "report_descriptor.h"

#include <cstddef>
#include <cstdint>

bool DescriptorHasReportIds(std::string_view d)
{
    std::size_t i = 0;
    while (i < d.size()) {
        const auto prefix = static_cast<std::uint8_t>(d[i]);
        if (prefix == 0xFE) {  // long item: size byte, tag byte, data
            if (i + 1 >= d.size())
                break;
            i += 3 + static_cast<std::uint8_t>(d[i + 1]);
            continue;
        }
        if ((prefix & 0xFC) == 0x84)
            return true;
        const std::size_t size = prefix & 3;
        i += 1 + (size == 3 ? 4 : size);
    }
    return false;
}
