#include "reading_history.h"

#include <algorithm>

void ReadingHistory::Add(Clock::time_point when, float celsius)
{
    const auto second = std::chrono::floor<std::chrono::seconds>(when);
    if (!samples_.empty() && std::chrono::floor<std::chrono::seconds>(samples_.back().when) == second) {
        samples_.back() = Sample{when, celsius};
        return;
    }
    samples_.push_back(Sample{when, celsius});
    while (!samples_.empty() && (samples_.size() > kMaxSamples || samples_.front().when < when - kSpan))
        samples_.pop_front();
}

std::deque<ReadingHistory::Sample> ReadingHistory::Recent(Clock::time_point now) const
{
    std::deque<Sample> recent;
    std::copy_if(samples_.begin(), samples_.end(), std::back_inserter(recent),
                 [now](const Sample& s) { return s.when >= now - kSpan && s.when <= now; });
    return recent;
}
