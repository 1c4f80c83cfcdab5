// Inside the serial line service: one open port, whatever is behind it.
// A backend implements this; serial_line.cpp keeps the handle table, the
// argument checks and the name mapping once for all of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// Line settings parsed from the mode part of a settings string. Fields left
// empty keep what the port has.
struct LineSettings {
    std::optional<int32_t> baud;
    std::optional<char> parity;  // 'N', 'E', 'O', 'M', 'S'
    std::optional<int> dataBits;
    std::optional<int> stopBitsTimesTen;  // 10, 15, 20
    std::optional<bool> xonXoff;          // xon=on|off
    std::optional<bool> ctsFlow;          // octs=on|off
    std::optional<bool> dtrOn;            // dtr=on|off
    std::optional<bool> rtsOn;            // rts=on|off
    bool rtsHandshake = false;            // rts=hs
};

enum class OutputLine { Dtr, Rts, Break };

// Modem status bits as the service reports them.
enum ModemBits : int32_t { ModemCts = 0x10, ModemDsr = 0x20, ModemRi = 0x40, ModemDcd = 0x80 };

class SerialDevice {
public:
    virtual ~SerialDevice() = default;
    // Applies settings and handshake mode; false when the device refuses them.
    virtual bool Configure(const LineSettings& settings, int32_t handshake, int32_t inputQueue) = 0;
    virtual bool Write(const uint8_t* data, int32_t count, int timeoutMs) = 0;
    // Windows-style read: total and inter-byte time-outs in milliseconds.
    virtual bool Read(uint8_t* data, int32_t count, int totalTimeoutMs, int intervalTimeoutMs) = 0;
    virtual int32_t InputCount() = 0;
    virtual bool SetLine(OutputLine line, bool on) = 0;
    // ModemBits, or -1 when the device cannot tell.
    virtual int32_t ModemStatus() = 0;
    virtual bool SetXonXoffChars(uint8_t xon, uint8_t xoff) = 0;
    // A descriptor that turns readable when bytes arrive, or -1.
    virtual int32_t InputDescriptor() = 0;
    // Blocks until an input line changes: 1, 0 when a signal ended the wait,
    // -1 when the device cannot wait for its lines.
    virtual int32_t WaitLineChange() = 0;
    // Releases the device; false when the system reports an error.
    virtual bool Close() = 0;
    // The number the system knows the device by, when callers may use it
    // themselves (a Windows HANDLE); 0 lets the service number the port.
    virtual int32_t SystemHandle() const { return 0; }
};

// The service's own number for a port without a system handle, kept in table
// slot slot (0 to 255): never 0 or -1, and never a value SystemHandle() can
// give on the platform. One per platform: serial_open_posix.cpp, serial_win32.cpp.
int32_t ServiceHandleForSlot(std::size_t slot);

// Parses the mode part ("9600,N,8,1" or "baud=9600 parity=n ..."); nullopt when
// any part of it is not understood. An empty mode gives empty settings.
std::optional<LineSettings> ParseLineMode(std::string_view mode);

// Opens the port a settings string ("NAME" or "NAME:mode") names and applies
// its mode and the handshake mode; nullptr when the port cannot be opened.
// One per platform: serial_open_posix.cpp, serial_win32.cpp.
std::unique_ptr<SerialDevice> OpenPort(std::string_view settings, int32_t handshake, int32_t inputQueue,
                                       int32_t outputQueue);

// The mode part of settings, parsed and handed to Configure; a mode that does
// not parse leaves the port as it is.
void ApplyModeOf(SerialDevice& device, std::string_view settings, int32_t handshake, int32_t inputQueue);

// Backends. nullptr when the device cannot be opened.
std::unique_ptr<SerialDevice> OpenSystemDevice(const std::string& path);
std::unique_ptr<SerialDevice> OpenVirtualDevice(std::string_view portName);
