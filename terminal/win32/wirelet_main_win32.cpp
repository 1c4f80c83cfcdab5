// Wirelet, the serial-port test terminal, on Windows.
#include "port_api.h"
#include "settings_file.h"
#include "terminal_window_win32.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return RunWirelet(instance, SystemSerialPortApi(), SettingsFilePath());
}
