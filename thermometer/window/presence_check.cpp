#include "presence_check.h"

#include "hid_access.h"

namespace {

// A present thermometer without a working handle: the open failed (access
// not granted yet) or the device was replugged between two checks.
bool NeedsReopen(const ThermometerState& state)
{
    std::int32_t handle = state.DeviceHandle.load();
    return handle == 0 || handle == state.FailedHandle.load();
}

void Reopen(ThermometerState& state)
{
    // The reader must not pick up a handle that is being closed.
    CloseThermometer(state);
    if (state.LastPresence)
        state.DeviceHandle.store(HidOpenDevice(kThermometerProductId, kThermometerVendorId));
}

}  // namespace

PresenceChange CheckPresence(ThermometerState& state)
{
    std::int32_t present = HidDevicePresent(kThermometerProductId, kThermometerVendorId);
    if (present == state.LastPresence) {
        if (present && NeedsReopen(state))
            Reopen(state);
        return PresenceChange::None;
    }
    state.LastPresence = present;
    Reopen(state);
    return present ? PresenceChange::Appeared : PresenceChange::Gone;
}

bool ReadingIsCurrent(const ThermometerState& state, std::int32_t handle)
{
    return handle != 0 && handle == state.DeviceHandle.load();
}

void CloseThermometer(ThermometerState& state)
{
    HidCloseDevice(state.DeviceHandle.exchange(0));
}
