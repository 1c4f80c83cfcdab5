// The line record a tool leaves beside the virtual chip, replayed through a
// fresh, erased chip model, and what the tool tests ask of it. Shared by the
// tests that run the tools themselves and by the check run after each tool
// under Wine.
#pragma once

#include "virtual_programmer.h"

#include <cstdint>
#include <utility>
#include <vector>

struct LineRecordSession {
    explicit LineRecordSession(std::vector<sim::LineEvent> recorded)
        : lines(std::move(recorded)), chip(sim::ReplayLineRecord(lines))
    {
    }

    std::vector<sim::LineEvent> lines;
    std::vector<sim::ChipEvent> chip;

    std::vector<uint32_t> Values(sim::ChipEvent::Kind kind) const
    {
        std::vector<uint32_t> values;
        for (const sim::ChipEvent& e : chip)
            if (e.kind == kind)
                values.push_back(e.value);
        return values;
    }
    // Milliseconds between consecutive commands, the first counted from power-on.
    std::vector<double> GapsBeforeCommands() const
    {
        std::vector<double> gaps;
        int64_t last = -1;
        for (const sim::ChipEvent& e : chip) {
            if (e.kind == sim::ChipEvent::Kind::PowerOn)
                last = e.timeNs;
            if (e.kind == sim::ChipEvent::Kind::Command) {
                gaps.push_back(last < 0 ? 0 : static_cast<double>(e.timeNs - last) / 1e6);
                last = e.timeNs;
            }
        }
        return gaps;
    }
};

// head followed by times copies of pass.
inline std::vector<uint32_t> Repeat(std::vector<uint32_t> head, const std::vector<uint32_t>& pass, int times)
{
    for (int i = 0; i < times; ++i)
        head.insert(head.end(), pass.begin(), pass.end());
    return head;
}
