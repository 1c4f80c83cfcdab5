// The message box on Windows: the system's own, through the wide-character
// call, so that the Russian texts show whatever the ANSI code page is.
#include "message_box.h"
#include "utf16.h"

#include <windows.h>

void ShowMessageBox(const std::string& caption, const std::string& text, int style)
{
    ::MessageBoxW(nullptr, Utf8ToUtf16(text).c_str(), Utf8ToUtf16(caption).c_str(), static_cast<UINT>(style));
}
