// The programmer link's per-process state and its unit delay, for code that
// carries the line protocol itself (the tools).
#pragma once

#include "link_timing.h"

#include <cstdint>

struct LinkState {
    int32_t PortHandle = 0;  // serial line handle, 0 when no port is open
    int32_t BitDelay = 0;    // unit delay D in microseconds
    uint8_t DataOutInverted = 0;
    uint8_t DataInInverted = 0;
    uint8_t ClockInverted = 0;
    uint8_t PowerInverted = 0;
    bool PowerOn = false;  // the target powered by Vantrel_StartStop(1)
};

// The one link state of this process.
LinkState& CurrentLinkState();
