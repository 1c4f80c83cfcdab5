// Wirelet's main window on Windows and the program around it: start-up,
// the event loop with the 50 ms monitor timer, and shutdown.
#pragma once

#include "port_api.h"

#include <windows.h>

#include <string>

// What the test build of the program watches. The program itself passes
// none.
class WireletProbe {
public:
    virtual ~WireletProbe() = default;
    virtual void Started(HWND /*mainWindow*/) {}
    virtual void Ticked(HWND /*mainWindow*/) {}
    virtual void Beeped() {}
};

// Runs the terminal until its main window is closed; returns the exit code
// (always 0).
int RunWirelet(HINSTANCE instance, const SerialPortApi& api, const std::string& settingsPath,
               WireletProbe* probe = nullptr);

// The settings dialog while it exists, else nullptr.
HWND WireletSettingsDialog();
