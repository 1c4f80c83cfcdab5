#include "console.h"
#include "quit_signals.h"

#include <clocale>
#include <csignal>
#include <cstring>
#include <locale.h>
#include <cstdio>
#include <cstdlib>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_signal = 0;

void RememberSignal(int signal) { g_signal = signal; }

}  // namespace

std::vector<std::string> ProgramArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void PrintOut(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

void PrintError(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stderr); }

void InstallInterruptHandler()
{
    HandleQuitSignals(RememberSignal);
    ::signal(SIGPIPE, SIG_IGN);
}

bool InterruptRequested() { return g_signal != 0; }

void EndAsInterrupted()
{
    EndByQuitSignal(g_signal != 0 ? g_signal : SIGINT);
}

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

int TerminalColumns()
{
    struct winsize size {};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0)
        return 0;
    return size.ws_col;
}

std::string ErrorNumberText(int error)
{
    if (error == 0)
        return {};
    // Messages only: numbers and the rest of the program stay in the C locale.
    static const locale_t messages = ::newlocale(LC_MESSAGES_MASK, "", static_cast<locale_t>(nullptr));
    return messages != static_cast<locale_t>(nullptr) ? ::strerror_l(error, messages) : std::strerror(error);
}
