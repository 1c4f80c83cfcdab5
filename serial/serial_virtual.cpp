// Backend for the virtual programmer: the lines go to the adapter model; no
// bytes travel, as nothing behind the adapter listens to TXD data.
#include "serial_device.h"
#include "virtual_programmer.h"

#include <chrono>
#include <thread>

namespace {

class VirtualSerialDevice final : public SerialDevice {
public:
    explicit VirtualSerialDevice(sim::VirtualPort* port) : port_(port) {}
    ~VirtualSerialDevice() override { Close(); }

    bool Configure(const LineSettings&, int32_t handshake, int32_t) override
    {
        if (handshake == 0)
            sim::SetRts(port_, false);
        else if (handshake == 1)
            sim::SetRts(port_, true);
        return true;
    }
    bool Write(const uint8_t*, int32_t, int) override { return true; }
    bool Read(uint8_t*, int32_t, int totalTimeoutMs, int) override
    {
        // Nothing ever arrives: the read lasts its whole time-out, as on a wire.
        std::this_thread::sleep_for(std::chrono::milliseconds(totalTimeoutMs));
        return true;
    }
    int32_t InputCount() override { return 0; }
    bool SetLine(OutputLine line, bool on) override
    {
        switch (line) {
        case OutputLine::Dtr: sim::SetDtr(port_, on); break;
        case OutputLine::Rts: sim::SetRts(port_, on); break;
        case OutputLine::Break: sim::SetBreak(port_, on); break;
        }
        return true;
    }
    int32_t ModemStatus() override
    {
        return (sim::GetCts(port_) ? ModemCts : 0) | (sim::GetDsr(port_) ? ModemDsr : 0) |
               (sim::GetRi(port_) ? ModemRi : 0) | (sim::GetDcd(port_) ? ModemDcd : 0);
    }
    bool SetXonXoffChars(uint8_t, uint8_t) override { return true; }
    // The model's lines move only when the programmer drives them: callers poll.
    int32_t InputDescriptor() override { return -1; }
    int32_t WaitLineChange() override { return -1; }
    bool Close() override
    {
        if (!port_)
            return false;
        sim::CloseVirtualPort(port_);
        port_ = nullptr;
        return true;
    }

private:
    sim::VirtualPort* port_;
};

}  // namespace

std::unique_ptr<SerialDevice> OpenVirtualDevice(std::string_view portName)
{
    sim::VirtualPort* port = sim::OpenVirtualPort(portName);
    if (!port)
        return nullptr;
    return std::make_unique<VirtualSerialDevice>(port);
}
