// The thermometer's presence state machine, run on the main thread every
// 400 ms by either window: open the device when it appears, close it when it
// goes, and open it again when the present device has no working handle.
#pragma once

#include "thermometer_state.h"

enum class PresenceChange {
    None,      // nothing for the window to show
    Appeared,  // show "Термометр подключён"
    Gone,      // show "Нет связи с термометром" and "OFF"
};

PresenceChange CheckPresence(ThermometerState& state);

// Whether a reading taken from handle may still be shown: the reader hands
// readings over through the window's queue, and the device may have been
// closed in between.
bool ReadingIsCurrent(const ThermometerState& state, std::int32_t handle);

// Closes the open device, if any (shutdown); a read blocked in it returns.
void CloseThermometer(ThermometerState& state);
