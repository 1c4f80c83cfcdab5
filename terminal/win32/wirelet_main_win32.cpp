// Wirelet, the serial-port test terminal, on Windows.
#include "port_api.h"
#include "settings_file.h"
#include "terminal_window_win32.h"
#include "wirelet_startup.h"

#include <cstdlib>

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    if (const int exitCode = AnswerArguments(__argc, __argv, kWireletUsage); exitCode >= 0)
        return exitCode;
    return RunWirelet(instance, SystemSerialPortApi(), SettingsFilePath());
}
