// The two kinds of wait of the programmer link: the unit delay of the bit
// timing, busy-waited on the high-resolution counter so that delays far below
// a millisecond hold, and the fixed waits, plain sleeps of the platform.
#pragma once

#include <cstdint>

// Busy-waits at least n microseconds, keeping the thread running. n <= 9,
// or a platform without a high-resolution counter, returns at once.
void DelayMicroseconds(int32_t n);

// Sleeps ms milliseconds.
void SleepMilliseconds(int32_t ms);
