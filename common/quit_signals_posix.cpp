#include "quit_signals.h"

#include <csignal>
#include <cstdlib>
#include <initializer_list>

void HandleQuitSignals(void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // A read or a wait the signal interrupts goes on; the program looks at
    // what the handler noted at its next check.
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

void EndByQuitSignal(int signal)
{
    HandleQuitSignals(SIG_DFL);
    ::raise(signal);
    std::_Exit(128 + signal);
}
