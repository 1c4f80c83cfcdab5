// The platform's object model under the automation layer on Windows: the system's
// own (ole32, oleaut32).
#pragma once

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
// The layer has an operation of this name; GDI's macro would rename it.
#undef GetObject

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The layer's text helpers (automation_windows.cpp). Single-byte strings are
// UTF-8; bad sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
std::size_t Utf16Length(const char16_t* text);  // 0 for null

// The system's message text for a code in the user's default language,
// with its trailing "\r\n"; empty when the system has none.
std::u16string SystemMessageText(HRESULT code);
