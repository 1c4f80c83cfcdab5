#include "console.h"
#include "utf16.h"

#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <cstring>

namespace {

// Set on the thread Windows starts for the console's control events.
std::atomic<bool> g_interrupted{false};

BOOL WINAPI RememberInterruption(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        g_interrupted = true;
        return TRUE;
    case CTRL_CLOSE_EVENT:
        // Windows ends the process as soon as this returns (and after a few
        // seconds in any case), so wait here: the main thread switches the
        // target off, closes the port and ends the process itself.
        g_interrupted = true;
        ::Sleep(INFINITE);
        return TRUE;
    default:
        return FALSE;
    }
}

// A console handle, not a file, a pipe or NUL (for which _isatty is true too).
bool IsConsole(HANDLE handle)
{
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0;
}

// A console is written in UTF-16: the same text shows right whatever its code
// page and font, and no UTF-8 sequence is split between two writes (which
// consoles set to code page 65001 show as garbage on older Windows). A file
// or a pipe gets the UTF-8 bytes.
void Print(std::FILE* stream, DWORD which, std::string_view text)
{
    const HANDLE handle = ::GetStdHandle(which);
    if (!IsConsole(handle)) {
        std::fwrite(text.data(), 1, text.size(), stream);
        return;
    }
    const std::wstring wide = Utf8ToUtf16(text);
    std::wstring_view rest = wide;
    while (!rest.empty()) {
        // Older consoles refuse one large write; a surrogate pair stays whole.
        DWORD chunk = rest.size() > 8192 ? 8192 : static_cast<DWORD>(rest.size());
        if (chunk < rest.size() && IS_HIGH_SURROGATE(rest[chunk - 1]))
            --chunk;
        DWORD written = 0;
        if (!::WriteConsoleW(handle, rest.data(), chunk, &written, nullptr) || written == 0)
            return;
        rest.remove_prefix(written);
    }
}

}  // namespace

// The C runtime's argv is in the ANSI code page, where a name in another
// script turns into question marks; the wide command line keeps it.
std::vector<std::string> ProgramArguments(int argc, char** argv)
{
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr)
        return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(Utf16ToUtf8(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

void PrintOut(std::string_view text) { Print(stdout, STD_OUTPUT_HANDLE, text); }

void PrintError(std::string_view text) { Print(stderr, STD_ERROR_HANDLE, text); }

// Windows has no SIGPIPE: a write to a closed pipe fails and is let go.
void InstallInterruptHandler() { ::SetConsoleCtrlHandler(RememberInterruption, TRUE); }

bool InterruptRequested() { return g_interrupted; }

// The exit code Windows gives a console program that Ctrl+C ends, which cmd
// and PowerShell know as an interruption (130 means nothing to them).
void EndAsInterrupted()
{
    std::fflush(stdout);
    std::fflush(stderr);
    ::ExitProcess(STATUS_CONTROL_C_EXIT);
}

bool StandardErrorIsTerminal() { return IsConsole(::GetStdHandle(STD_ERROR_HANDLE)); }

int TerminalColumns()
{
    CONSOLE_SCREEN_BUFFER_INFO info {};
    if (!::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info))
        return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

std::string ErrorNumberText(int error)
{
    // The C runtime has no translated texts; its English one is still the reason.
    return error == 0 ? std::string() : std::string(std::strerror(error));
}
