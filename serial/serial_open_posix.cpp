// Opening a port by name on POSIX: the virtual programmer, or a tty found by
// the name mapping of port_names.h.
#include "port_names.h"
#include "serial_device.h"
#include "virtual_programmer.h"

std::unique_ptr<SerialDevice> OpenPort(std::string_view settings, int32_t handshake, int32_t inputQueue,
                                       int32_t outputQueue)
{
    (void)outputQueue;  // the kernel sizes its own queues
    const std::string_view name = PortNameOf(settings);
    std::unique_ptr<SerialDevice> device;
    if (sim::IsVirtualPortName(name)) {
        device = OpenVirtualDevice(name);
    } else {
        const std::string path = DevicePathForPortName(name);
        if (!path.empty())
            device = OpenSystemDevice(path);
    }
    if (device)
        ApplyModeOf(*device, settings, handshake, inputQueue);
    return device;
}

// Slot numbers from 1: no port here has a number of the system's.
int32_t ServiceHandleForSlot(std::size_t slot) { return static_cast<int32_t>(slot + 1); }
