#include "port_connection.h"

#include "shown_name.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

// A short pause around close and open gives the driver time to settle.
void SettlePause() { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }

}  // namespace

int32_t PortConnection::Reopen(const PortSettings& settings)
{
    const std::string mode = SettingsString(settings);
    Close();
    if (settings.portDevice && settings.portDevice->empty())
        return 0;  // the chosen port stands for no device of this machine
    handle_ = api_.open(mode.c_str(), settings.handshakeMode, 1, 1);
    SettlePause();
    if (!IsOpen() && api_.isSystemConsole && api_.isSystemConsole(mode.c_str()))
        std::fprintf(stderr, "Порт %s не открыт: это системная консоль. Выберите другой порт кнопкой «Настроить порт».\n",
                     ShownName(settings.portName).c_str());
    if (IsOpen() && settings.flowControlIndex == kFlowXonXoff)
        api_.setXonXoffChars(handle_, settings.xonByte, settings.xoffByte);
    return IsOpen() ? handle_ : 0;
}

void PortConnection::Close()
{
    if (!IsOpen())
        return;
    api_.close(handle_);
    handle_ = 0;
    SettlePause();
}

MonitorSample PortConnection::Poll(const PortSettings& settings)
{
    MonitorSample sample;
    if (api_.inputCount(handle_) > 0) {
        unsigned char byte = 0;  // a failed read counts as the byte 0
        api_.read(handle_, &byte, 1);
        const bool xonXoff = settings.flowControlIndex == kFlowXonXoff;
        sample.byte = byte;
        if (xonXoff && byte == (settings.xonByte & 0xFF)) {
            api_.setBreak(handle_, 0);
            sample.received = ReceivedXon;
        } else if (xonXoff && byte == (settings.xoffByte & 0xFF)) {
            api_.setBreak(handle_, 1);
            sample.received = ReceivedXoff;
        } else {
            sample.received = ReceivedByte;
        }
    }
    sample.lineBits = ReadLineBits();
    sample.cts = sample.lineBits & 1;
    sample.dsr = (sample.lineBits >> 1) & 1;
    sample.dcd = (sample.lineBits >> 2) & 1;
    sample.ri = (sample.lineBits >> 3) & 1;
    return sample;
}

int32_t PortConnection::ReadLineBits() const
{
    return (api_.getCts(handle_) == 1 ? 1 : 0) | (api_.getDsr(handle_) == 1 ? 2 : 0) |
           (api_.getDcd(handle_) == 1 ? 4 : 0) | (api_.getRi(handle_) == 1 ? 8 : 0);
}

int32_t PortConnection::SendDecimal(std::string_view text)
{
    if (!IsOpen())
        return 0;
    int32_t value = DecimalValue(text);
    if (value > 255)
        value = 255;
    const unsigned char byte = static_cast<unsigned char>(value & 0xFF);
    api_.write(handle_, &byte, 1);
    return 1;
}
