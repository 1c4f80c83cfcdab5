// The chip file on Windows. The lock is a named semaphore made from the
// file's full path rather than a lock on the file itself: a handle held open
// on the file would stop the new content from being renamed over it.
#include "chip_file.h"

#include "atomic_file.h"
#include "ini_text.h"
#include "utf16.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <optional>

namespace sim {

namespace {

// One name per file, whatever letter case the path was written in.
std::wstring LockNameFor(const std::string& path)
{
    std::wstring lower = Utf8ToUtf16(path);
    if (!lower.empty())
        ::CharLowerBuffW(lower.data(), static_cast<DWORD>(lower.size()));
    uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (wchar_t c : lower)
        hash = (hash ^ static_cast<uint16_t>(c)) * 1099511628211ull;
    wchar_t name[64];
    std::swprintf(name, 64, L"vantrel-virtual-pic-%016llx", static_cast<unsigned long long>(hash));
    return name;
}

int HandleToInt(HANDLE handle) { return static_cast<int>(reinterpret_cast<intptr_t>(handle)); }
HANDLE IntToHandle(int value) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(value)); }

}  // namespace

int LockFileExclusively(const std::string& path, bool& busy, int& error)
{
    busy = false;
    const HANDLE lock = ::CreateSemaphoreW(nullptr, 1, 1, LockNameFor(path).c_str());
    if (!lock) {
        error = static_cast<int>(::GetLastError());
        return -1;
    }
    if (::WaitForSingleObject(lock, 0) != WAIT_OBJECT_0) {
        ::CloseHandle(lock);
        busy = true;
        return -1;
    }
    // The file must exist and be writable here, or nothing will be saved.
    const HANDLE file = ::CreateFileW(Utf8ToUtf16(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = static_cast<int>(::GetLastError());
        ::ReleaseSemaphore(lock, 1, nullptr);
        ::CloseHandle(lock);
        return -1;
    }
    ::CloseHandle(file);
    return HandleToInt(lock);
}

void UnlockFile(int fd)
{
    if (fd < 0)
        return;
    const HANDLE lock = IntToHandle(fd);
    ::ReleaseSemaphore(lock, 1, nullptr);
    ::CloseHandle(lock);
}

bool KeepCopyOfFile(const std::string& path, const std::string& copyPath)
{
    const std::optional<std::string> content = ReadFileText(path);
    return content && WriteFileAtomically(copyPath, *content);
}

std::string InWorkingDirectory(const std::string& name)
{
    const DWORD length = ::GetCurrentDirectoryW(0, nullptr);
    if (length == 0)
        return name;
    std::wstring directory(length, L'\0');
    directory.resize(::GetCurrentDirectoryW(length, directory.data()));
    std::string path = Utf16ToUtf8(directory);
    if (!path.empty() && path.back() != '\\' && path.back() != '/')
        path += '\\';
    return path + name;
}

std::string SystemErrorText(int error)
{
    switch (static_cast<DWORD>(error)) {
    case ERROR_ACCESS_DENIED: return "нет прав на запись";
    case ERROR_WRITE_PROTECT: return "диск защищён от записи";
    case ERROR_PATH_NOT_FOUND: return "каталог не существует";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return "нет места на диске";
    default: break;
    }
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string result = length ? Utf16ToUtf8(std::wstring_view(text, length)) : "ошибка " + std::to_string(error);
    if (text)
        ::LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' '))
        result.pop_back();
    return result;
}

}  // namespace sim
