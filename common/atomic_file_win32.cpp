#include "atomic_file.h"
#include "utf16.h"

#include <windows.h>

namespace {

bool WriteAll(HANDLE file, std::string_view content)
{
    while (!content.empty()) {
        const DWORD chunk = content.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(content.size());
        DWORD written = 0;
        if (!::WriteFile(file, content.data(), chunk, &written, nullptr) || written == 0)
            return false;
        content.remove_prefix(written);
    }
    return true;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view content)
{
    const std::wstring target = Utf8ToUtf16(path);
    // A name of our own beside the target, so the rename stays on one volume;
    // CREATE_NEW below refuses a name that is taken, whatever the tick count.
    const std::wstring temp = target + L"." + std::to_wstring(::GetCurrentProcessId()) + L"." +
                              std::to_wstring(::GetTickCount()) + L".new";
    const HANDLE file = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                      nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool written = WriteAll(file, content) && ::FlushFileBuffers(file);
    const bool closed = ::CloseHandle(file) != 0;
    if (!written || !closed ||
        !::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileW(temp.c_str());
        return false;
    }
    return true;
}
