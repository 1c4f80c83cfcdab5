#include "wide_text.h"

std::string WindowTextUtf8(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return Utf16ToUtf8(text);
}

void SetWindowTextUtf8(HWND window, std::string_view utf8) { SetWindowTextW(window, Wide(utf8).c_str()); }
