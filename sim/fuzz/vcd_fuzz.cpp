// libFuzzer target for the virtual programmer's line-record reader (VCD).
// The input is the file's text. Besides not crashing, a record that is read
// goes forward in time from 0, and written out again it reads back the same
// and writes the same text.
#include "virtual_programmer.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

bool SameRecord(const std::vector<sim::LineEvent>& a, const std::vector<sim::LineEvent>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].timeNs != b[i].timeNs || a[i].line != b[i].line || a[i].level != b[i].level)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<sim::LineEvent> record = sim::ReadVcdText(text);
    if (record.empty())
        return 0;

    int64_t time = 0;
    for (const sim::LineEvent& event : record) {
        Check(event.timeNs >= time && event.line <= sim::Line::EarlyRead);
        time = event.timeNs;
    }
    const std::string written = sim::VcdText(record);
    const std::vector<sim::LineEvent> back = sim::ReadVcdText(written);
    Check(SameRecord(back, record));
    Check(sim::VcdText(back) == written);
    return 0;
}
