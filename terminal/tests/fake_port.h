// A port layer in process: records what the terminal asks of the port and
// plays back bytes and line states the test sets up.
#pragma once

#include "port_api.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

struct FakePortState {
    bool openSucceeds = true;
    bool readFails = false;
    std::vector<std::string> calls;  // "open COM1:9600,N,8,1 0 1 1", "rts 1", "write 65", ...
    std::deque<uint8_t> incoming;
    int32_t cts = 0, dsr = 0, dcd = 0, ri = 0;
};

FakePortState& FakePort();
void ResetFakePort();
SerialPortApi FakePortApi();

// The recorded calls that start with prefix, in order.
std::vector<std::string> FakeCalls(const std::string& prefix);
