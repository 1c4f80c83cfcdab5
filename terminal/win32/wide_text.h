// UTF-8 (how the terminal's texts are kept) to and from the UTF-16 of the
// wide-character Windows calls, so that Russian shows whatever the ANSI
// code page of the machine is.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

// A window's text, read with GetWindowTextW.
std::string WindowTextUtf8(HWND window);
void SetWindowTextUtf8(HWND window, std::string_view utf8);
