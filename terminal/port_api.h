// The serial line operations the terminal uses, as a table, so that tests and
// benchmarks can put a pseudo-terminal or a recorder behind the same window.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct SerialPortApi {
    int32_t (*open)(const char* settings, int32_t handshake, int32_t inputQueue, int32_t outputQueue);
    int32_t (*close)(int32_t handle);
    int32_t (*write)(int32_t handle, const void* buffer, int32_t count);
    int32_t (*read)(int32_t handle, void* buffer, int32_t count);
    int32_t (*inputCount)(int32_t handle);
    int32_t (*setDtr)(int32_t handle, int32_t on);
    int32_t (*setRts)(int32_t handle, int32_t on);
    int32_t (*setBreak)(int32_t handle, int32_t on);
    int32_t (*getCts)(int32_t handle);
    int32_t (*getDsr)(int32_t handle);
    int32_t (*getDcd)(int32_t handle);
    int32_t (*getRi)(int32_t handle);
    int32_t (*setXonXoffChars)(int32_t handle, int32_t xonChar, int32_t xoffChar);
    // Readable when bytes arrive; -1 when the port has no such descriptor.
    int32_t (*inputDescriptor)(int32_t handle);
    // Blocks until an input line changes: 1; 0 when a signal ended it; -1
    // when the port cannot wait for its lines. Called from a second thread.
    int32_t (*waitLineChange)(int32_t handle);
    // 1 when the settings string names the system console, which open
    // refuses; null where no port can be that.
    int32_t (*isSystemConsole)(const char* settings) = nullptr;
    // The devices the port choices open, in order (see port_devices.h);
    // null, or nullopt, where they open COM1 to COM8 by name.
    std::optional<std::vector<std::string>> (*portDevices)() = nullptr;
};

// The machine's serial ports through the serial line service.
SerialPortApi SystemSerialPortApi();
