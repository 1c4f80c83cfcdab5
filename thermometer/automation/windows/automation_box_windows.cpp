// The layer's error box: the system's own, which runs its own message loop
// on whichever thread fails, in front of the other windows.
#include "automation_internal.h"

void ShowAutomationBoxOnGuiThread(void* owner, const char16_t* caption, const char16_t* text)
{
    MessageBoxW(static_cast<HWND>(owner), reinterpret_cast<LPCWSTR>(text), reinterpret_cast<LPCWSTR>(caption),
                MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}
