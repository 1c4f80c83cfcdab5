#include "close_on_signal.h"
#include "quit_signals.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t g_signal = 0;
void (*g_closePath)() = nullptr;

void NoteSignal(int signal) { g_signal = signal; }

}  // namespace

void CloseOnSignal(void (*closePath)())
{
    g_closePath = closePath;
    HandleQuitSignals(NoteSignal);
}

void EndIfSignalled()
{
    if (g_signal == 0)
        return;
    if (g_closePath)
        g_closePath();
    EndByQuitSignal(g_signal);
}

void StopClosingOnSignal()
{
    g_closePath = nullptr;
    HandleQuitSignals(SIG_DFL);
    if (g_signal != 0)
        EndByQuitSignal(g_signal);
}
