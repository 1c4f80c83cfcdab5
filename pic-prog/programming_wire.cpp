#include "programming_wire.h"

#include "vantrel_pic.h"

#include <chrono>
#include <thread>

namespace {

// Sleep overshoots by tens of microseconds on a quiet system; the last
// stretch is spun.
constexpr auto kSpinMargin = std::chrono::microseconds(1000);

constexpr uint32_t kLongestUninterruptedUs = 20000;

double Delays(const Wire& wire, int count)
{
    // The unit delay does nothing at 9 us or less.
    return wire.bitDelay > 9 ? static_cast<double>(count) * wire.bitDelay : 0.0;
}

void Count(Wire& wire, double us)
{
    wire.idealUs += us;
    if (wire.progress != nullptr && !wire.dry)
        AdvanceProgress(*wire.progress, us);
}

void SwitchTarget(Wire& wire, bool on)
{
    if (!wire.dry)
        Vantrel_StartStop(on ? 1 : 0);
    Count(wire, kStartStopUs);
    wire.powered = on;
}

}  // namespace

void SendCommand(Wire& wire, uint8_t command)
{
    if (!wire.dry)
        Vantrel_OutByteCommand(command);
    Count(wire, Delays(wire, kCommandDelays));
}

void SendWord(Wire& wire, uint16_t word)
{
    if (!wire.dry)
        Vantrel_OutByteData(word);
    Count(wire, Delays(wire, kWordOutDelays));
}

uint16_t ReceiveWord(Wire& wire)
{
    const uint16_t word = wire.dry ? 0 : static_cast<uint16_t>(Vantrel_InByteData());
    Count(wire, Delays(wire, kWordInDelays));
    return word;
}

void WaitPrescribed(Wire& wire, uint32_t microseconds)
{
    if (!wire.dry) {
        // A programming cycle (10 ms at most) is let finish; the long waits
        // around switching the target end early on an interruption.
        uint32_t left = microseconds;
        while (left > kLongestUninterruptedUs && !Interrupted(wire)) {
            WaitMicroseconds(kLongestUninterruptedUs);
            left -= kLongestUninterruptedUs;
        }
        if (left <= kLongestUninterruptedUs)
            WaitMicroseconds(left);
    }
    Count(wire, microseconds);
}

void PowerOn(Wire& wire)
{
    if (wire.powered) {
        SwitchTarget(wire, false);
        WaitPrescribed(wire, kPowerRestUs);
    }
    SwitchTarget(wire, true);
    WaitPrescribed(wire, kPowerSettleUs);
}

void PowerOff(Wire& wire)
{
    if (wire.powered)
        SwitchTarget(wire, false);
}

bool Interrupted(const Wire& wire) { return !wire.dry && wire.interrupted != nullptr && wire.interrupted(); }

void WaitMicroseconds(uint32_t microseconds)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::microseconds(microseconds);
    const Clock::time_point sleepUntil = end - kSpinMargin;
    if (Clock::now() < sleepUntil)
        std::this_thread::sleep_until(sleepUntil);
    while (Clock::now() < end) {
    }
}
