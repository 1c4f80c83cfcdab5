// What the HID access needs from the platform: enumeration with ids, opening
// a device path, a read with a time-out, closing. One implementation per
// platform (hid_backend_hidraw.cpp on Linux, hid_backend_windows.cpp on
// Windows).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct HidCandidate {
    std::string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t release = 0;
};

struct HidBackendDevice;  // opaque, owned by the backend

// Binds the system library; true when every entry point was found.
bool HidBackendLoad();
bool HidBackendLoaded();

// Present HID interfaces in the system's order, at most maxCount of them.
std::vector<HidCandidate> HidBackendEnumerate(int maxCount);

// True when the interface at path (from an enumeration) is still present with
// these ids: one small read instead of a walk over every interface.
bool HidBackendStillPresent(const std::string& path, std::uint16_t vendorId, std::uint16_t productId);

// nullptr when the path cannot be opened for reading and writing.
HidBackendDevice* HidBackendOpen(const std::string& path);
void HidBackendClose(HidBackendDevice* device);

// Waits up to timeoutMs for one input report. Stores it report-id byte first
// into out, cut to outSize bytes, and returns the number of bytes stored; 0 on
// time-out (out untouched); -1 on failure with *error set to the system's
// error code (errno, or GetLastError on Windows).
int HidBackendRead(HidBackendDevice* device, std::uint8_t* out, int outSize, int timeoutMs, int* error);

// The system's error code for a read on a handle that was closed meanwhile
// (EBADF, ERROR_INVALID_HANDLE).
extern const int kHidBackendHandleClosed;
