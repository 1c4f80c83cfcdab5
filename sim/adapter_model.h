// The programmer adapter between the port's modem lines and the chip:
// RTS clocks the chip, DTR pulls the shared data line, TXD's break state is
// the power/VPP switch, CTS reads the data line and DSR is RTS looped back.
// Every line change is recorded with its time, and so are the host's
// violations of the chip's rules.
#pragma once

#include "pic_chip.h"
#include "virtual_programmer.h"

#include <cstdint>
#include <vector>

namespace sim {

// LoopbackPlug is not the programmer but a serial test plug (RTS to CTS,
// DTR to DSR), whose DSR stays on whatever RTS does.
enum class Fixture : uint8_t { Chip, EmptySocket, NoAdapter, LoopbackPlug };

struct AdapterModel {
    Fixture fixture = Fixture::Chip;
    bool rts = false;  // host outputs, raw levels
    bool dtr = false;
    bool brk = false;
    bool cts = false;  // host inputs as last presented
    bool dsr = false;
    bool fighting = false;  // the host pulls the data line while the chip drives it
    int64_t earlyReadOfNs = kLongAgoNs;  // the chip's output change last read too early
    PicChip chip;
    std::vector<LineEvent> lines;
};

// All lines low, chip unpowered with the given memory, empty record.
void ResetAdapter(AdapterModel& model, Fixture fixture, const ChipMemory& memory);

// Sets the host outputs without clocking anything (the chip is unpowered when
// a port opens) and records all five lines as the record's starting levels.
void StartLineRecord(AdapterModel& model, int64_t timeNs, bool rts, bool dtr, bool brk);

// A host output changes at timeNs. Input lines and violation entries are ignored.
void DriveLine(AdapterModel& model, int64_t timeNs, Line line, bool level);

// The host reads CTS at timeNs. A read that cannot see the chip's bit yet is
// recorded as a violation (it is not a line change, so a replay cannot find it).
bool SampleCts(AdapterModel& model, int64_t timeNs);

}  // namespace sim
