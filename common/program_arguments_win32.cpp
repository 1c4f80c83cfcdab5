// Windowed programs have no console to write to: the texts go in a box. Kept
// to USER32 alone, so that programs with text conversions of their own can
// carry it.
#include "program_arguments.h"

#include <windows.h>

namespace {

std::wstring Wide(const std::string& text)
{
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

void ShowTextBox(const char* caption, const std::string& text)
{
    ::MessageBoxW(nullptr, Wide(text).c_str(), Wide(caption).c_str(), MB_OK | MB_ICONINFORMATION);
}

}  // namespace

void GiveUsageText(const std::string& text) { ShowTextBox("Справка", text); }

void GiveVersionText(const std::string& text) { ShowTextBox("Версия", text); }
