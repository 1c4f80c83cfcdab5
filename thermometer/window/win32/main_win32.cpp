// Ambrel, the thermometer monitor, on Windows.
#include "ambrel_usage.h"
#include "ambrel_win32.h"
#include "system_services_win32.h"

#include <cstdlib>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    if (const int exitCode = AnswerArguments(__argc, __argv, kAmbrelUsage); exitCode >= 0)
        return exitCode;
    if (!StartAmbrel(instance, SystemServices()))
        return 0;
    return RunAmbrel();
}
