#include "link_timing.h"

#include <windows.h>

void DelayMicroseconds(int32_t n)
{
    if (n <= 9)
        return;
    LARGE_INTEGER frequency {};
    if (!::QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0)
        return;
    // The cost of one counter reading is taken off every elapsed time.
    LARGE_INTEGER first {};
    LARGE_INTEGER second {};
    ::QueryPerformanceCounter(&first);
    ::QueryPerformanceCounter(&second);
    const int64_t overhead = second.QuadPart - first.QuadPart;
    LARGE_INTEGER start {};
    ::QueryPerformanceCounter(&start);
    // elapsed >= n / 1,000,000 s, compared in whole numbers: ticks * 10^6 >= n * frequency.
    const int64_t target = static_cast<int64_t>(n) * frequency.QuadPart;
    LARGE_INTEGER now {};
    const bool abandonable = n >= kAbandonableDelayUs && g_abandonDelay != nullptr;
    do {
        ::QueryPerformanceCounter(&now);
    } while ((now.QuadPart - start.QuadPart - overhead) * 1000000 < target && !(abandonable && g_abandonDelay()));
}

void AbandonLongDelaysWhen(bool (*check)()) { g_abandonDelay = check; }

void SleepMilliseconds(int32_t ms) { ::Sleep(ms > 0 ? static_cast<DWORD>(ms) : 0); }
