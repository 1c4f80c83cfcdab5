// The terminal's one serial port: opening it with the current settings,
// the per-tick poll, single-byte sends and the two output lines. Knows no
// widgets; the window shows what it reports.
#pragma once

#include "port_api.h"
#include "port_settings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum ReceivedKind : int32_t {
    ReceivedNothing = 0,
    ReceivedByte = 1,  // a byte to show
    ReceivedXon = 2,   // the configured Xon byte: break cleared
    ReceivedXoff = 3,  // the configured Xoff byte: break set
};

struct MonitorSample {
    int32_t received = ReceivedNothing;
    int32_t byte = 0;
    int32_t cts = 0;
    int32_t dsr = 0;
    int32_t dcd = 0;
    int32_t ri = 0;
    int32_t lineBits = 0;  // the four lines as ReadLineBits gives them
};

class PortConnection {
public:
    explicit PortConnection(const SerialPortApi& api) : api_(api) {}
    ~PortConnection() { Close(); }
    PortConnection(const PortConnection&) = delete;
    PortConnection& operator=(const PortConnection&) = delete;

    // Closes the port if open and opens it with the settings. Returns the
    // new handle, 0 when the port did not open.
    int32_t Reopen(const PortSettings& settings);
    void Close();
    bool IsOpen() const { return handle_ > 0; }
    int32_t Handle() const { return handle_; }

    int32_t SetDtr(bool on) { return api_.setDtr(handle_, on ? 1 : 0); }
    int32_t SetRts(bool on) { return api_.setRts(handle_, on ? 1 : 0); }

    // Takes at most one waiting byte, acts on Xon/Xoff when that flow
    // control is chosen, then reads the four input lines. Port must be open.
    MonitorSample Poll(const PortSettings& settings);

    // For a front end that sleeps while nothing happens: the descriptor that
    // turns readable when bytes arrive (-1: none, poll instead), and the wait
    // for a change of the input lines (see SerialPortApi::waitLineChange),
    // made to run in a thread of its own while the port stays open.
    int32_t InputDescriptor() const { return IsOpen() ? api_.inputDescriptor(handle_) : -1; }
    int32_t WaitLineChange() const { return api_.waitLineChange(handle_); }
    // CTS, DSR, DCD and RI as bits 0 to 3, for telling two readings apart;
    // made to run beside the wait, in its thread.
    int32_t ReadLineBits() const;

    // The devices the port choices open now; nullopt: COM1 to COM8 by name.
    std::optional<std::vector<std::string>> PortDevices() const
    {
        return api_.portDevices ? api_.portDevices() : std::nullopt;
    }

    // Sends the decimal value of text, limited to 255. 1 when the port is
    // open (the write's own result is not looked at), 0 when it is not.
    int32_t SendDecimal(std::string_view text);

private:
    SerialPortApi api_;
    int32_t handle_ = 0;
};
