// Which device each of the eight port choices opens. On Windows the choices
// are the COM ports by name; on Linux they are the serial devices present.
#pragma once

#include <optional>
#include <string>
#include <vector>

// The serial devices under devRoot (a /dev folder), in the order the port
// choices take them: links named COMn (by n), then serial/by-id links, then
// ttyUSB*, ttyACM* and ttyS* (each by number). A device reached by several
// names is listed once, under its first one; left out are devices that are
// one of consoles, UART ports with no UART behind them (their sysfs "type",
// found under sysRoot/dev/char/MAJOR:MINOR, is 0) and names with a ":",
// which the settings string cannot carry. Nothing is opened, only looked at.
std::vector<std::string> ListSerialDevices(const std::string& devRoot, const std::string& sysRoot,
                                           const std::vector<std::string>& consoles);

// ListSerialDevices for this machine's /dev, /sys and system console;
// nullopt where the port choices open the COM ports by name.
std::optional<std::vector<std::string>> SerialDevicesOfThisMachine();
