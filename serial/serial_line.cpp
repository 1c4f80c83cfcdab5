// The serial line service: handle table, argument checks and time-outs,
// shared by every backend.
#include "serial_line.h"

#include "serial_device.h"

#include <array>
#include <cstring>
#include <mutex>

namespace {

// Time-outs in milliseconds, the same for every port.
constexpr int kReadIntervalTimeout = 100;
constexpr int kReadTotalMultiplier = 10;
constexpr int kReadTotalConstant = 100;
constexpr int kWriteTotalMultiplier = 100;
constexpr int kWriteTotalConstant = 10;

// Each open port with the number its caller knows it by: the system's own
// handle where it has one callers may use (Windows), else the service's
// number for the slot. 0 and -1 never name a port.
struct OpenPortEntry {
    int32_t handle = 0;
    std::unique_ptr<SerialDevice> device;
};
std::mutex g_tableMutex;
std::array<OpenPortEntry, 256> g_ports;

OpenPortEntry* EntryFor(int32_t handle)
{
    if (handle == 0 || handle == -1)
        return nullptr;
    for (OpenPortEntry& entry : g_ports) {
        if (entry.device && entry.handle == handle)
            return &entry;
    }
    return nullptr;
}

SerialDevice* DeviceFor(int32_t handle)
{
    std::lock_guard lock(g_tableMutex);
    OpenPortEntry* entry = EntryFor(handle);
    return entry ? entry->device.get() : nullptr;
}

int32_t AddToTable(std::unique_ptr<SerialDevice> device)
{
    std::lock_guard lock(g_tableMutex);
    const int32_t systemHandle = device->SystemHandle();
    if (systemHandle != 0) {
        // The system gave out this value again, so the caller closed the port
        // behind our back: the old entry names nothing any more.
        if (OpenPortEntry* stale = EntryFor(systemHandle))
            stale->device.reset();
    }
    for (std::size_t i = 0; i < g_ports.size(); ++i) {
        if (!g_ports[i].device) {
            g_ports[i].handle = systemHandle != 0 ? systemHandle : ServiceHandleForSlot(i);
            g_ports[i].device = std::move(device);
            return g_ports[i].handle;
        }
    }
    device->Close();
    return 0;
}

int32_t ModemBit(int32_t handle, int32_t bit)
{
    SerialDevice* device = DeviceFor(handle);
    if (!device)
        return 0;
    const int32_t status = device->ModemStatus();
    return status >= 0 && (status & bit) ? 1 : 0;
}

int32_t SetOutputLine(int32_t handle, OutputLine line, int32_t on)
{
    SerialDevice* device = DeviceFor(handle);
    return device && device->SetLine(line, on != 0) ? 1 : 0;
}

}  // namespace

int32_t SerialLine_Open(const char* settings, int32_t handshake, int32_t inputQueue, int32_t outputQueue)
{
    if (!settings)
        return 0;
    const std::string_view text(settings, ::strnlen(settings, 4096));
    std::unique_ptr<SerialDevice> device = OpenPort(text, handshake, inputQueue, outputQueue);
    if (!device)
        return 0;
    return AddToTable(std::move(device));
}

int32_t SerialLine_Close(int32_t handle)
{
    std::unique_ptr<SerialDevice> device;
    {
        std::lock_guard lock(g_tableMutex);
        if (OpenPortEntry* entry = EntryFor(handle))
            device = std::move(entry->device);
    }
    return device && device->Close() ? 1 : 0;
}

int32_t SerialLine_Write(int32_t handle, const void* buffer, int32_t count)
{
    SerialDevice* device = DeviceFor(handle);
    if (!device || count < 0 || (count > 0 && !buffer))
        return 0;
    const int timeout = kWriteTotalMultiplier * count + kWriteTotalConstant;
    return device->Write(static_cast<const uint8_t*>(buffer), count, timeout) ? 1 : 0;
}

int32_t SerialLine_Read(int32_t handle, void* buffer, int32_t count)
{
    SerialDevice* device = DeviceFor(handle);
    if (!device || count < 0 || (count > 0 && !buffer))
        return 0;
    const int total = kReadTotalMultiplier * count + kReadTotalConstant;
    return device->Read(static_cast<uint8_t*>(buffer), count, total, kReadIntervalTimeout) ? 1 : 0;
}

int32_t SerialLine_InputCount(int32_t handle)
{
    SerialDevice* device = DeviceFor(handle);
    return device ? device->InputCount() : 0;
}

int32_t SerialLine_SetDTR(int32_t handle, int32_t on) { return SetOutputLine(handle, OutputLine::Dtr, on); }
int32_t SerialLine_SetRTS(int32_t handle, int32_t on) { return SetOutputLine(handle, OutputLine::Rts, on); }
int32_t SerialLine_SetBreak(int32_t handle, int32_t on) { return SetOutputLine(handle, OutputLine::Break, on); }

int32_t SerialLine_GetCTS(int32_t handle) { return ModemBit(handle, ModemCts); }
int32_t SerialLine_GetDSR(int32_t handle) { return ModemBit(handle, ModemDsr); }
int32_t SerialLine_GetRI(int32_t handle) { return ModemBit(handle, ModemRi); }
int32_t SerialLine_GetDCD(int32_t handle) { return ModemBit(handle, ModemDcd); }

int32_t SerialLine_SetXonXoffChars(int32_t handle, int32_t xonChar, int32_t xoffChar)
{
    SerialDevice* device = DeviceFor(handle);
    return device && device->SetXonXoffChars(static_cast<uint8_t>(xonChar), static_cast<uint8_t>(xoffChar)) ? 1 : 0;
}

int32_t SerialLine_InputDescriptor(int32_t handle)
{
    SerialDevice* device = DeviceFor(handle);
    return device ? device->InputDescriptor() : -1;
}

int32_t SerialLine_WaitLineChange(int32_t handle)
{
    SerialDevice* device = DeviceFor(handle);
    return device ? device->WaitLineChange() : -1;
}
