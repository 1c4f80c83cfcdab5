// HID devices faked behind replacement entry points of "hid.dll" and
// "setupapi.dll". Each device's path names a message-mode named pipe of this
// process, so CreateFileA, ReadFile and CloseHandle stay the system's own: a
// report sent is one message, a read waits until one comes, and an unplugged
// device disconnects every open handle.
//
// One fake per process at a time; it installs itself with HidWindowsUseApi.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class FakeWindowsHid {
public:
    FakeWindowsHid();
    ~FakeWindowsHid();
    FakeWindowsHid(const FakeWindowsHid&) = delete;
    FakeWindowsHid& operator=(const FakeWindowsHid&) = delete;

    // Plugs in a device and returns its number.
    int Plug(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t version = 0x0100);
    int PlugThermometer() { return Plug(0xAAAA, 0xEF04); }
    // An interface whose path cannot be opened (a device held exclusively).
    int PlugUnopenable(std::uint16_t vendorId, std::uint16_t productId);
    void Unplug(int device);

    // Sends one input report (report-id byte first) to every open handle of
    // the device.
    void Send(int device, const std::vector<std::uint8_t>& report);

    // What the code under test did with the setup interface.
    int OpenDeviceSets() const;      // created and not yet destroyed
    int HighestIndexAsked() const;   // by SetupDiEnumDeviceInterfaces, -1 before any
    bool CallsWereWellFormed() const;  // class GUID, flags 0x12, size fields

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};
