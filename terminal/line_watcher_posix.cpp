#include "line_watcher.h"

#include <chrono>
#include <csignal>
#include <pthread.h>

namespace {

// A real-time signal Qt and glibc leave alone.
int WakeSignal() { return SIGRTMIN + 6; }

void IgnoreWake(int) {}

// Without SA_RESTART, so that the blocked wait ends with EINTR.
void InstallWakeHandler()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_handler = IgnoreWake;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        ::sigaction(WakeSignal(), &action, nullptr);
    });
}

}  // namespace

void LineWatcher::Start(std::function<int32_t()> wait, std::function<void(int32_t)> onEvent)
{
    Stop();
    InstallWakeHandler();
    wait_ = std::move(wait);
    onEvent_ = std::move(onEvent);
    stopping_ = false;
    finished_ = false;
    thread_ = std::thread(&LineWatcher::Run, this);
}

void LineWatcher::Run()
{
    sigset_t wake;
    sigemptyset(&wake);
    sigaddset(&wake, WakeSignal());
    ::pthread_sigmask(SIG_UNBLOCK, &wake, nullptr);
    while (!stopping_) {
        const int32_t result = wait_();
        if (stopping_)
            break;
        if (result > 0) {
            onEvent_(1);
        } else if (result < 0) {
            onEvent_(-1);
            break;
        }
    }
    std::lock_guard lock(mutex_);
    finished_ = true;
    ended_.notify_all();
}

// The signal may come just before the thread enters the wait, and then the
// wait would block on: it is sent again until the thread says it has ended.
void LineWatcher::Stop()
{
    if (!thread_.joinable())
        return;
    stopping_ = true;
    {
        std::unique_lock lock(mutex_);
        while (!finished_) {
            ::pthread_kill(thread_.native_handle(), WakeSignal());
            ended_.wait_for(lock, std::chrono::milliseconds(10));
        }
    }
    thread_.join();
}
