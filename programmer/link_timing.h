// The two kinds of wait of the programmer link: the unit delay of the bit
// timing, busy-waited on the high-resolution counter so that delays far below
// a millisecond hold, and the fixed waits, plain sleeps of the platform.
#pragma once

#include <cstdint>

// Busy-waits at least n microseconds, keeping the thread running. n <= 9,
// or a platform without a high-resolution counter, returns at once.
void DelayMicroseconds(int32_t n);

// A program may ask to have unit delays of 10 ms or more cut short once
// check returns true, so a user's interruption is not held up for seconds by
// a long bit timing (the rest of the word then goes out at full speed, on a
// target about to be switched off). Shorter delays never look at it.
void AbandonLongDelaysWhen(bool (*check)());

inline constexpr int32_t kAbandonableDelayUs = 10000;
inline bool (*g_abandonDelay)() = nullptr;

// Sleeps ms milliseconds.
void SleepMilliseconds(int32_t ms);
