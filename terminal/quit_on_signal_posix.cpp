// The handler only writes the signal's number into a socket; the event loop
// reads it and does the rest, where Qt may be called.
#include "quit_on_signal.h"
#include "quit_signals.h"

#include <QSocketNotifier>
#include <QWidget>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_sockets[2] = {-1, -1};
volatile std::sig_atomic_t g_signal = 0;

void PassSignalOn(int signal)
{
    g_signal = signal;
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_sockets[0], &byte, 1);
}

}  // namespace

void CatchQuitSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_sockets) != 0)
        return;  // the signals then end the program as usual
    HandleQuitSignals(PassSignalOn);
}

void CloseWindowOnSignal(QWidget* window)
{
    if (g_sockets[1] < 0)
        return;
    auto* notifier = new QSocketNotifier(g_sockets[1], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(g_sockets[1], &byte, 1);
        window->close();
    });
}

void EndIfClosedBySignal()
{
    const int signal = g_signal;
    if (signal == 0)
        return;
    EndByQuitSignal(signal);
}
