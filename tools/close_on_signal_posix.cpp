#include "close_on_signal.h"

#include <csignal>
#include <cstdlib>
#include <initializer_list>

namespace {

volatile std::sig_atomic_t g_signal = 0;
void (*g_closePath)() = nullptr;

void NoteSignal(int signal) { g_signal = signal; }

void SetHandlers(void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

[[noreturn]] void EndBySignal(int signal)
{
    SetHandlers(SIG_DFL);
    ::raise(signal);
    std::_Exit(128 + signal);
}

}  // namespace

void CloseOnSignal(void (*closePath)())
{
    g_closePath = closePath;
    SetHandlers(NoteSignal);
}

void EndIfSignalled()
{
    if (g_signal == 0)
        return;
    if (g_closePath)
        g_closePath();
    EndBySignal(g_signal);
}

void StopClosingOnSignal()
{
    g_closePath = nullptr;
    SetHandlers(SIG_DFL);
    if (g_signal != 0)
        EndBySignal(g_signal);
}
