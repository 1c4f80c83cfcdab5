#include "port_devices.h"

// Windows opens COM1 to COM8 by their names.
std::optional<std::vector<std::string>> SerialDevicesOfThisMachine() { return std::nullopt; }
