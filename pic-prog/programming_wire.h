// The adapter's line primitives as pic-prog drives them. Each call is also
// counted at the time the protocol prescribes for it (its bit times at the
// unit delay D, and every wait), which feeds the progress bar and gives the
// ideal a run can be measured against. A dry wire only counts, so a job can
// be priced before it runs.
#pragma once

#include "progress.h"

#include <cstdint>

struct Wire {
    bool dry = false;
    int32_t bitDelay = 0;  // D in microseconds, as the primitives use it
    double idealUs = 0;    // prescribed time of everything sent so far
    bool powered = false;
    Progress* progress = nullptr;
    bool (*interrupted)() = nullptr;
};

// Switching the target on and off: the primitive's own 40 ms with clock and
// data low, then the adapter's supply and the chip are given time to settle.
// These are the times the tools have always allowed this adapter.
inline constexpr uint32_t kStartStopUs = 40000;
inline constexpr uint32_t kPowerSettleUs = 200000;  // after switching on
inline constexpr uint32_t kPowerRestUs = 200000;    // off, before switching on again

// Bit times of the primitives, in units of D.
inline constexpr int kCommandDelays = 24;
inline constexpr int kWordOutDelays = 64;
inline constexpr int kWordInDelays = 48;

void SendCommand(Wire& wire, uint8_t command);
void SendWord(Wire& wire, uint16_t word);
uint16_t ReceiveWord(Wire& wire);  // 0 on a dry wire
void WaitPrescribed(Wire& wire, uint32_t microseconds);

// Into programming mode with the location counter at 0; a powered target is
// switched off and on again first.
void PowerOn(Wire& wire);
void PowerOff(Wire& wire);

bool Interrupted(const Wire& wire);

// Sleeps most of the time and busy-waits the rest, so the wait ends within a
// few microseconds of its time instead of a scheduler tick late.
void WaitMicroseconds(uint32_t microseconds);
