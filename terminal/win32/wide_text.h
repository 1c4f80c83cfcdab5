// Window texts as UTF-8 (how the terminal keeps its texts) through the
// wide-character calls, so that Russian shows whatever the machine's ANSI
// code page is.
#pragma once

#include "utf16.h"

#include <windows.h>

#include <string>
#include <string_view>

inline std::wstring Wide(std::string_view utf8) { return Utf8ToUtf16(utf8); }

// A window's text, read with GetWindowTextW.
std::string WindowTextUtf8(HWND window);
void SetWindowTextUtf8(HWND window, std::string_view utf8);
