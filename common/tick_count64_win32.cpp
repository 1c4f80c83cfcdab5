// GetTickCount64 for Windows XP, which has only the 32-bit GetTickCount.
//
// The toolchain's thread library (winpthreads) measures its timed waits with
// GetTickCount64, a Vista export: a program linking it would not load on XP.
// This file defines the import slot the library calls through
// (__imp_GetTickCount64) and fills it with a counter built on GetTickCount,
// so the linker takes it instead of the kernel32 import. Every program and
// DLL of the Windows build links it (cmake/windows.cmake); our own code calls
// GetTickCount directly.
#include <windows.h>

#include <atomic>
#include <cstdint>

namespace {

// High 32 bits: how often the 32-bit count has wrapped (every 49.7 days);
// low 32 bits: the last count seen. One 64-bit word, so that threads update
// both halves together. A wrap is seen as long as the counter is read at
// least once in 24.8 days (half the 32-bit range).
std::atomic<std::uint64_t> g_lastTicks{0};

ULONGLONG WINAPI TickCount64FromTickCount()
{
    const std::uint32_t now = ::GetTickCount();
    std::uint64_t last = g_lastTicks.load(std::memory_order_relaxed);
    for (;;) {
        if (last == 0) {  // the first call: the count so far, wraps before it unknown
            if (g_lastTicks.compare_exchange_weak(last, now, std::memory_order_relaxed))
                return now;
            continue;
        }
        const std::uint32_t since = now - static_cast<std::uint32_t>(last);
        // A reading a little older than the last one (another thread stored a
        // newer one meanwhile) is not a wrap: it is answered as it is.
        if (since >= 0x80000000u)
            return last - static_cast<std::uint32_t>(-since);
        const std::uint64_t next = last + since;
        if (g_lastTicks.compare_exchange_weak(last, next, std::memory_order_relaxed))
            return next;
    }
}

}  // namespace

// The name the import library would give the slot: decorated for __stdcall
// on i686, plain on x86_64.
#if defined(__i386__)
#define BENCH_TICK_COUNT64_SLOT "__imp__GetTickCount64@0"
#else
#define BENCH_TICK_COUNT64_SLOT "__imp_GetTickCount64"
#endif
extern "C" {
ULONGLONG(WINAPI* bench_tick_count64_slot)() __asm__(BENCH_TICK_COUNT64_SLOT) = TickCount64FromTickCount;
}
