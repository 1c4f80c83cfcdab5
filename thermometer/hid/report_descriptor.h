// The one thing Ambrel reads from a HID report descriptor itself: whether
// the device numbers its reports.
#pragma once

#include <string_view>

// True when a Report ID item (a short global item, tag 8) stands anywhere in
// the descriptor's item sequence; bytes inside an item's data, short or long,
// are never taken for an item.
bool DescriptorHasReportIds(std::string_view descriptor);
