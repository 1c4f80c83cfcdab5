// The data-memory reading job, shared by the tool that carries the line
// protocol and the one that reaches it through libVantrel_PIC.so.
#pragma once

#include "tool_frame.h"
#include "vantrel_pic.h"

#include <cstdint>

// In the calling convention of the library's exports.
struct DataReadPrimitives {
    int32_t(VANTREL_CALL* startStop)(int32_t on);
    int32_t(VANTREL_CALL* outByteCommand)(int32_t command);
    int32_t(VANTREL_CALL* inByteData)();
    int32_t(VANTREL_CALL* closePort)();
};

// Reads data-memory locations 0 to 9; the result text has one "XX\n" line each.
ToolResult ReadDataMemory(const DataReadPrimitives& primitives);
