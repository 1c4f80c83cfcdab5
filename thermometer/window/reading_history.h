// The accepted readings of the last 24 hours, at most one a second, kept in
// memory for the history plot. Main thread only.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>

class ReadingHistory {
public:
    using Clock = std::chrono::system_clock;
    struct Sample {
        Clock::time_point when;
        float celsius;
    };
    static constexpr auto kSpan = std::chrono::hours(24);
    // One a second over the span: the memory bound, whatever the clock does.
    static constexpr std::size_t kMaxSamples = 24 * 60 * 60;

    // A reading within the same second as the last sample replaces it.
    void Add(Clock::time_point when, float celsius);
    // Oldest first; only the samples of the span ending at now.
    std::deque<Sample> Recent(Clock::time_point now) const;
    std::size_t Size() const { return samples_.size(); }

private:
    std::deque<Sample> samples_;
};
