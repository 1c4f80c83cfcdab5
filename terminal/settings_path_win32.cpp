// Where Wirelet.ini lives on Windows: the user's temporary-files directory,
// in its long form where the system can give it.
#include "settings_file.h"
#include "utf16.h"

#include <windows.h>

namespace {

using LongPathNameFunction = DWORD(WINAPI*)(LPCSTR, LPSTR, DWORD);

// Looked up by name: the oldest Windows versions lack the function.
LongPathNameFunction LongPathName()
{
    HMODULE kernel = GetModuleHandleA("Kernel32.DLL");
    FARPROC found = kernel ? GetProcAddress(kernel, "GetLongPathNameA") : nullptr;
    return reinterpret_cast<LongPathNameFunction>(reinterpret_cast<void (*)()>(found));
}

// The file functions take UTF-8 paths; the A calls give the ANSI code page.
std::string AnsiToUtf8(const std::string& ansi)
{
    const int size = static_cast<int>(ansi.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, wide.data(), length);
    return Utf16ToUtf8(wide);
}

}  // namespace

std::string SettingsFilePath()
{
    char directory[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(sizeof directory, directory);
    if (length == 0 || length > MAX_PATH)
        return "";
    std::string path(directory, length);
    if (const LongPathNameFunction longPathName = LongPathName()) {
        char longForm[MAX_PATH + 1] = {};
        const DWORD longLength = longPathName(path.c_str(), longForm, sizeof longForm);
        if (longLength > 0 && longLength <= MAX_PATH)
            path.assign(longForm, longLength);
    }
    // The directory ends in a separator already; the doubled one is harmless.
    return AnsiToUtf8(path) + "\\Wirelet.ini";
}
