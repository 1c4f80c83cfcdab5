// The values the window, the reader thread and the agent sequence share.
// Each is one 32-bit value written by one thread only, so atomics suffice.
#pragma once

#include <atomic>
#include <cstdint>

struct ThermometerState {
    // Handle of the open thermometer, 0 while none; written by the main thread.
    std::atomic<std::int32_t> DeviceHandle{0};
    // Result of the previous presence test; main thread only.
    std::int32_t LastPresence = 0;
    // Last accepted reading in whole degrees; written by the reader thread.
    std::atomic<std::int32_t> TemperatureWhole{0};
    // A handle whose read failed while it was current (the device went away
    // and came back between two presence checks); written by the reader.
    std::atomic<std::int32_t> FailedHandle{0};
};

constexpr int kThermometerProductId = 0xEF04;
constexpr int kThermometerVendorId = 0xAAAA;
