// Ambrel, the thermometer monitor, on Windows.
#include "ambrel_win32.h"
#include "system_services_win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    if (!StartAmbrel(instance, SystemServices()))
        return 0;
    return RunAmbrel();
}
