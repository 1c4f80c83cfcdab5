// The system backend on Windows: the KERNEL32 communications calls. A port
// is opened and configured in one go from the whole settings string, which
// goes to the system's own mode parser (BuildCommDCBA).
#include "port_names.h"
#include "serial_device.h"
#include "virtual_programmer.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

namespace {

// Fixed time-outs, in milliseconds: a read of n bytes returns at the latest
// after 10 n + 100 ms, or 100 ms after the last byte that came.
constexpr COMMTIMEOUTS kTimeouts = {
    100,  // ReadIntervalTimeout
    10,   // ReadTotalTimeoutMultiplier
    100,  // ReadTotalTimeoutConstant
    100,  // WriteTotalTimeoutMultiplier
    10,   // WriteTotalTimeoutConstant
};

// "\\.\" + name in 16 bytes: names of up to 11 characters (COM1 to COM256
// all fit, and COM10 and above open only through this prefix).
constexpr std::size_t kDevicePathSize = 16;
constexpr const char kDevicePrefix[] = "\\\\.\\";

void ApplyHandshake(DCB& dcb, int32_t handshake, int32_t inputQueue)
{
    switch (handshake) {
    case 0:
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
        dcb.fOutxCtsFlow = FALSE;
        break;
    case 1:
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        dcb.fOutxCtsFlow = FALSE;
        break;
    case 2:
        dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
        dcb.fOutxCtsFlow = TRUE;
        break;
    case 3:
        dcb.fOutX = TRUE;
        dcb.fInX = TRUE;
        dcb.XonChar = 0x11;
        dcb.XoffChar = 0x13;
        dcb.XonLim = static_cast<WORD>(inputQueue / 10);
        dcb.XoffLim = static_cast<WORD>(7 * (inputQueue / 10));
        break;
    default: break;
    }
}

// The device object does not own the HANDLE beyond Close: its caller holds
// the same value, and a DLL being unloaded with the port open (its tables
// destroyed) must leave the port open for that caller until the process ends.
class Win32SerialDevice final : public SerialDevice {
public:
    explicit Win32SerialDevice(HANDLE handle) : handle_(handle) {}

    // Configured once at open, from the settings string; a parsed mode has
    // nothing to add here.
    bool Configure(const LineSettings&, int32_t, int32_t) override { return false; }

    // The time-outs were given to the port at open (kTimeouts); the service's
    // own figures are the same.
    bool Write(const uint8_t* data, int32_t count, int) override
    {
        DWORD written = 0;
        return ::WriteFile(handle_, data, static_cast<DWORD>(count), &written, nullptr) &&
               written == static_cast<DWORD>(count);
    }

    bool Read(uint8_t* data, int32_t count, int, int) override
    {
        DWORD read = 0;
        return ::ReadFile(handle_, data, static_cast<DWORD>(count), &read, nullptr) != 0;
    }

    int32_t InputCount() override
    {
        DWORD errors = 0;
        COMSTAT status {};
        if (!::ClearCommError(handle_, &errors, &status))
            return 0;
        return static_cast<int32_t>(status.cbInQue);
    }

    bool SetLine(OutputLine line, bool on) override
    {
        DWORD function = 0;
        switch (line) {
        case OutputLine::Dtr: function = on ? SETDTR : CLRDTR; break;
        case OutputLine::Rts: function = on ? SETRTS : CLRRTS; break;
        case OutputLine::Break: function = on ? SETBREAK : CLRBREAK; break;
        }
        return ::EscapeCommFunction(handle_, function) != 0;
    }

    int32_t ModemStatus() override
    {
        DWORD bits = 0;
        if (!::GetCommModemStatus(handle_, &bits))
            return -1;
        return ((bits & MS_CTS_ON) ? ModemCts : 0) | ((bits & MS_DSR_ON) ? ModemDsr : 0) |
               ((bits & MS_RING_ON) ? ModemRi : 0) | ((bits & MS_RLSD_ON) ? ModemDcd : 0);
    }

    bool SetXonXoffChars(uint8_t xon, uint8_t xoff) override
    {
        DCB dcb {};
        dcb.DCBlength = sizeof dcb;
        if (!::GetCommState(handle_, &dcb))
            return false;
        dcb.XonChar = static_cast<char>(xon);
        dcb.XoffChar = static_cast<char>(xoff);
        return ::SetCommState(handle_, &dcb) != 0;
    }

    // The port is opened for synchronous I/O, which leaves no waiting on it
    // from a second thread: the Windows terminal polls on its timer.
    int32_t InputDescriptor() override { return -1; }
    int32_t WaitLineChange() override { return -1; }

    bool Close() override
    {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return ::CloseHandle(handle) != 0;
    }

    // Kernel handles fit in 32 bits also in a 64-bit process; the system
    // sign-extends the value back.
    int32_t SystemHandle() const override
    {
        return static_cast<int32_t>(reinterpret_cast<std::intptr_t>(handle_));
    }

private:
    HANDLE handle_;
};

std::unique_ptr<SerialDevice> OpenCommPort(const std::string& settings, std::string_view name, int32_t handshake,
                                           int32_t inputQueue, int32_t outputQueue)
{
    if (name.size() + sizeof kDevicePrefix > kDevicePathSize)
        return nullptr;  // would not fit the device path: refused rather than cut
    char path[kDevicePathSize] = {};
    std::memcpy(path, kDevicePrefix, sizeof kDevicePrefix - 1);
    std::memcpy(path + sizeof kDevicePrefix - 1, name.data(), name.size());

    // No sharing: the port is ours alone until it is closed.
    const HANDLE handle =
        ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    if (inputQueue >= 1 && outputQueue >= 1)
        ::SetupComm(handle, static_cast<DWORD>(inputQueue), static_cast<DWORD>(outputQueue));

    // A state or time-outs the port refuses still leave it open, as it was.
    DCB dcb {};
    dcb.DCBlength = sizeof dcb;
    if (::GetCommState(handle, &dcb) && ::BuildCommDCBA(settings.c_str(), &dcb)) {
        ApplyHandshake(dcb, handshake, inputQueue);
        if (::SetCommState(handle, &dcb)) {
            COMMTIMEOUTS timeouts = kTimeouts;
            ::SetCommTimeouts(handle, &timeouts);
        }
    }
    return std::make_unique<Win32SerialDevice>(handle);
}

}  // namespace

// Kernel handles are multiples of 4 (the system keeps the low two bits for
// tags), so numbers 4 n + 1 never equal the HANDLE of an open COM port.
int32_t ServiceHandleForSlot(std::size_t slot) { return static_cast<int32_t>(4 * (slot + 1) + 1); }

std::unique_ptr<SerialDevice> OpenPort(std::string_view settings, int32_t handshake, int32_t inputQueue,
                                       int32_t outputQueue)
{
    const std::string_view name = PortNameOf(settings);
    if (sim::IsVirtualPortName(name)) {
        std::unique_ptr<SerialDevice> device = OpenVirtualDevice(name);
        if (device)
            ApplyModeOf(*device, settings, handshake, inputQueue);
        return device;
    }
    return OpenCommPort(std::string(settings), name, handshake, inputQueue, outputQueue);
}
