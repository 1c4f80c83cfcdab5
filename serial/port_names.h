// How the serial line service turns a port name into a device.
#pragma once

#include <string>
#include <string_view>

// Longest port name accepted; longer names are refused rather than cut.
constexpr std::size_t kMaxPortNameLength = 255;

// The part of a settings string before its first ":" (all of it without one).
std::string_view PortNameOf(std::string_view settings);

// The device path a port name opens: the name itself when it contains "/";
// /dev/NAME when that exists; /dev/ttyS(n-1) for COMn; else /dev/NAME.
// Empty for an empty or over-long name. Names of the virtual programmer are
// not device paths; check IsVirtualPortName first.
std::string DevicePathForPortName(std::string_view name);
