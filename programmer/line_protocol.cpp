// The adapter's line protocol: every signal is a modem-control line, every
// bit a few line changes separated by the unit delay D.
#include "link_state.h"
#include "vantrel_pic.h"

#include "serial_line.h"

#include <algorithm>
#include <string>

namespace {

LinkState g_link;

// Only the value 1 inverts a line; 0, 2 or anything else leaves it as it is.
int Raw(int level, uint8_t invertedFlag) { return level ^ (invertedFlag == 1 ? 1 : 0); }

void Delay() { DelayMicroseconds(g_link.BitDelay); }

void SetClock(int level) { SerialLine_SetRTS(g_link.PortHandle, Raw(level, g_link.ClockInverted)); }
void SetDataOut(int level) { SerialLine_SetDTR(g_link.PortHandle, Raw(level, g_link.DataOutInverted)); }
void SetPower(int level) { SerialLine_SetBreak(g_link.PortHandle, Raw(level, g_link.PowerInverted)); }

}  // namespace

LinkState& CurrentLinkState() { return g_link; }

int32_t VANTREL_CALL Vantrel_Init(int32_t delayMicroseconds, int32_t dataOutInverted, int32_t dataInInverted,
                     int32_t clockInverted, int32_t powerInverted)
{
    g_link.BitDelay = std::clamp<int32_t>(delayMicroseconds, 0, VANTREL_MAX_DELAY);
    g_link.DataOutInverted = static_cast<uint8_t>(dataOutInverted);
    g_link.DataInInverted = static_cast<uint8_t>(dataInInverted);
    g_link.ClockInverted = static_cast<uint8_t>(clockInverted);
    g_link.PowerInverted = static_cast<uint8_t>(powerInverted);
    return 0;
}

int32_t VANTREL_CALL OpenCom_Port(const char* name)
{
    if (g_link.PortHandle != 0)
        CloseCom_Port();
    const std::string settings = std::string(name ? name : "") + ":9600,N,8,1";
    g_link.PortHandle = SerialLine_Open(settings.c_str(), HandshakeNone, 1, 1);
    return g_link.PortHandle;
}

int32_t VANTREL_CALL CloseCom_Port(void)
{
    if (g_link.PortHandle != 0)
        SerialLine_Close(g_link.PortHandle);
    g_link.PortHandle = 0;
    g_link.PowerOn = false;
    return 0;
}

int32_t VANTREL_CALL Vantrel_Test(void)
{
    // Raw RTS and DSR: the loopback is wired straight, whatever the flags say.
    SleepMilliseconds(10);
    SerialLine_SetRTS(g_link.PortHandle, 1);
    SleepMilliseconds(10);
    if (!SerialLine_GetDSR(g_link.PortHandle))
        return 0;
    SerialLine_SetRTS(g_link.PortHandle, 0);
    SleepMilliseconds(10);
    if (SerialLine_GetDSR(g_link.PortHandle))
        return 0;
    SleepMilliseconds(10);
    return 1;
}

int32_t VANTREL_CALL Vantrel_StartStop(int32_t on)
{
    // Clock and data must be low while the programming voltage rises.
    SetClock(0);
    SetDataOut(0);
    SleepMilliseconds(40);
    g_link.PowerOn = (on & 0xFF) != 0;
    SetPower(g_link.PowerOn ? 1 : 0);
    return 0;
}

int32_t VANTREL_CALL Vantrel_DataOut(int32_t bit)
{
    SetDataOut((bit & 0xFF) != 0 ? 1 : 0);
    Delay();
    Delay();
    SetClock(1);
    Delay();
    SetClock(0);
    Delay();
    return 0;
}

int32_t VANTREL_CALL Vantrel_DataIn(void)
{
    SetClock(1);
    Delay();
    SetClock(0);
    Delay();
    Delay();
    return Raw(SerialLine_GetCTS(g_link.PortHandle), g_link.DataInInverted);
}

int32_t VANTREL_CALL Vantrel_OutByteCommand(int32_t command)
{
    uint32_t bits = static_cast<uint32_t>(command) & 0xFF;
    for (int i = 0; i < 6; ++i, bits >>= 1)
        Vantrel_DataOut(static_cast<int32_t>(bits & 1));
    return 0;
}

int32_t VANTREL_CALL Vantrel_OutByteData(int32_t word)
{
    // Start bit 0, fourteen data bits, stop bit 0.
    uint32_t bits = (static_cast<uint32_t>(word) << 1) & 0x7FFE;
    for (int i = 0; i < 16; ++i, bits >>= 1)
        Vantrel_DataOut(static_cast<int32_t>(bits & 1));
    return 0;
}

int32_t VANTREL_CALL Vantrel_InByteData(void)
{
    // Released data line, so the target can drive it. Clock 1 is the start
    // bit and clock 16 the stop bit; clocks 2 to 15 carry bits 0 to 13.
    SetDataOut(1);
    uint32_t accumulator = 0;
    for (int i = 0; i < 16; ++i)
        accumulator = (accumulator | (static_cast<uint32_t>(Vantrel_DataIn()) << 15)) >> 1;
    return static_cast<int32_t>(accumulator & 0x3FFF);
}
