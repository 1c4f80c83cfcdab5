// Access to USB HID devices for the thermometer monitor: find a device by
// product id, vendor id and release number, open it, read its input reports.
//
// Product id comes before vendor id in every call. Ids are compared as 16-bit
// values. A handle is a small positive integer (0 = none); handles are never
// reused while the process lives, so a stale handle can only fail, never reach
// another device. All calls may be made from any thread.
#pragma once

#include <cstdint>
#include <string>

// Binds the system's HID libraries (hidapi's hidraw backend on Linux; hid.dll
// and setupapi.dll on Windows). Call once before anything else; later calls
// do nothing. Returns 1 when bound, 0 when the
// library or one of its entry points is missing (every search then finds
// nothing and every open gives 0).
int HidLoad();

// 1 when a device with these ids (any release) is present, else 0.
// Same as HidFindDevice(productId, vendorId, -1, 0).
int HidDevicePresent(int productId, int vendorId);

// Handle of the first matching device opened for reading, or 0.
// Same as HidOpenDeviceEx(productId, vendorId, -1, 0).
int HidOpenDevice(int productId, int vendorId);

// Closes a handle from HidOpenDevice/HidOpenDeviceEx. Returns 1 when the
// handle was open, 0 for 0 or an unknown handle. A read blocked on the handle
// in another thread returns 0 within a fraction of a second; the device itself
// is released when that read has left.
int HidCloseDevice(int handle);

// Number of bytes read; same as HidReadReportEx(handle, buffer, length, nullptr).
int HidReadReport(int handle, std::uint8_t* buffer, int length);

// Searches the present HID interfaces in the system's order (at most 256 are
// examined) and returns 1 when the matchIndex-th (0-based) one with these ids
// exists, else 0. version -1 matches any release number.
int HidFindDevice(int productId, int vendorId, int version, int matchIndex);

// The same search; opens the matchIndex-th matching device that can be opened
// for reading and writing and returns its handle, or 0. A device that cannot
// be opened is skipped and not counted.
int HidOpenDeviceEx(int productId, int vendorId, int version, int matchIndex);

// Blocks until the device delivers one input report and copies it to buffer,
// report-id byte first (0 for a device without numbered reports), cut to
// length bytes. Returns the number of bytes stored: 0 at once for handle 0, a
// null buffer or length <= 0; 0 after a failed read (device gone, handle
// closed), with buffer untouched. When errorPlace is given it receives the
// system error code of the read (errno; GetLastError on Windows), 0 after
// success.
int HidReadReportEx(int handle, std::uint8_t* buffer, int length, int* errorPlace);

// Like HidReadReportEx, but never waits: copies a report only when one has
// already arrived and waits in the system's queue. 0 with error 0 when none
// waits.
int HidReadWaitingReport(int handle, std::uint8_t* buffer, int length, int* errorPlace);

// The system's name of the opened interface (/dev/hidraw0 on Linux); empty
// for 0 or a closed handle.
std::string HidDevicePath(int handle);
