// The data-memory reading job, shared by the tool that carries the line
// protocol and the one that reaches it through libVantrel_PIC.so.
#pragma once

#include "tool_frame.h"

#include <cstdint>

struct DataReadPrimitives {
    int32_t (*startStop)(int32_t on);
    int32_t (*outByteCommand)(int32_t command);
    int32_t (*inByteData)();
    int32_t (*closePort)();
};

// Reads data-memory locations 0 to 9; the result text has one "XX\n" line each.
ToolResult ReadDataMemory(const DataReadPrimitives& primitives);
