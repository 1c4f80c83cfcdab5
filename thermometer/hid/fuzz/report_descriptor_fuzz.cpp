// libFuzzer target for the report-descriptor scan that tells whether a
// device numbers its reports. The input is a descriptor as the kernel hands
// it out. Besides not crashing:
//   - whole items put in front (short or long, none a Report ID) change
//     nothing, and a Report ID item in front makes the answer yes;
//   - the descriptor carried as the data of other items is never scanned:
//     wrapped in long items, or in 4-byte short items, the answer is no.
#include "report_descriptor.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

// The bytes of a long item carrying data.
std::string LongItem(std::string_view data)
{
    return std::string{'\xFE', static_cast<char>(data.size()), '\x42'} + std::string(data);
}

// The descriptor as the data of Report Count items (global, tag 9, 4 bytes).
std::string InShortItems(std::string_view d)
{
    std::string out;
    for (std::size_t i = 0; i < d.size(); i += 4) {
        std::string data(d.substr(i, 4));
        data.resize(4, '\0');
        out += '\x97' + data;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view d(reinterpret_cast<const char*>(data), size);
    const bool numbered = DescriptorHasReportIds(d);

    // Usage Page (vendor), Usage, Collection, Logical Maximum (4 bytes), a long item.
    static const std::string kItems[] = {
        std::string("\x06\x00\xFF", 3), std::string("\x09\x01", 2), std::string("\xA1\x01", 2),
        std::string("\x27\xFF\xFF\x00\x00", 5), LongItem(std::string("\x85\x01\x85", 3)), LongItem({})};
    for (const std::string& item : kItems)
        Check(DescriptorHasReportIds(item + std::string(d)) == numbered);
    Check(DescriptorHasReportIds(std::string("\x85\x01", 2) + std::string(d)));
    Check(DescriptorHasReportIds(std::string(1, '\x84') + std::string(d)));

    if (d.size() <= 255)
        Check(!DescriptorHasReportIds(LongItem(d)));
    Check(!DescriptorHasReportIds(InShortItems(d)));
    return 0;
}
