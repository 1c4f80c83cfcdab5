#include "link_timing.h"

#include <chrono>
#include <thread>

void DelayMicroseconds(int32_t n)
{
    if (n <= 9)
        return;
    using Clock = std::chrono::steady_clock;
    const auto target = std::chrono::microseconds(n);
    // Counted from the first clock reading, so the time spent reading the
    // clock falls inside the wait rather than on top of it.
    const Clock::time_point start = Clock::now();
    if (n >= kAbandonableDelayUs && g_abandonDelay != nullptr) {
        while (Clock::now() - start < target && !g_abandonDelay()) {
        }
        return;
    }
    while (Clock::now() - start < target) {
    }
}

void AbandonLongDelaysWhen(bool (*check)()) { g_abandonDelay = check; }

void SleepMilliseconds(int32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
