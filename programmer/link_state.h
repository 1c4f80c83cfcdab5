// The programmer link's per-process state and its unit delay, for code that
// carries the line protocol itself (the tools).
#pragma once

#include <cstdint>

struct LinkState {
    int32_t PortHandle = 0;  // serial line handle, 0 when no port is open
    int32_t BitDelay = 0;    // unit delay D in microseconds
    uint8_t DataOutInverted = 0;
    uint8_t DataInInverted = 0;
    uint8_t ClockInverted = 0;
    uint8_t PowerInverted = 0;
};

// The one link state of this process.
LinkState& CurrentLinkState();

// Busy-waits at least n microseconds on the monotonic clock, keeping the
// thread running so that delays far below a millisecond hold. n <= 9 returns
// at once.
void DelayMicroseconds(int32_t n);
