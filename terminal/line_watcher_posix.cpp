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

void LineWatcher::Start(std::function<int32_t()> wait, std::function<int32_t()> readLines,
                        std::function<void(int32_t)> onEvent)
{
    Stop();
    InstallWakeHandler();
    wait_ = std::move(wait);
    readLines_ = std::move(readLines);
    onEvent_ = std::move(onEvent);
    stopping_ = false;
    reported_ = false;
    shownKnown_ = false;
    finished_ = false;
    thread_ = std::thread(&LineWatcher::Run, this);
}

void LineWatcher::Taken(int32_t shownLines)
{
    std::lock_guard lock(mutex_);
    shown_ = shownLines;
    shownKnown_ = true;
    reported_ = false;
    taken_.notify_all();
}

// The driver's wait only sees changes made after it began, so what changed
// since the front end last read the lines is found by reading them here. A
// change in the instant between this read and the wait is left to the
// window's one-second tick.
bool LineWatcher::LinesDifferFromShown()
{
    int32_t shown = 0;
    {
        std::lock_guard lock(mutex_);
        if (!shownKnown_)
            return false;
        shown = shown_;
    }
    return readLines_() != shown;
}

void LineWatcher::ReportAndAwaitTaken()
{
    std::unique_lock lock(mutex_);
    reported_ = true;
    lock.unlock();  // the front end may take it before onEvent returns
    onEvent_(1);
    lock.lock();
    taken_.wait(lock, [this] { return !reported_ || stopping_; });
}

void LineWatcher::Run()
{
    sigset_t wake;
    sigemptyset(&wake);
    sigaddset(&wake, WakeSignal());
    ::pthread_sigmask(SIG_UNBLOCK, &wake, nullptr);
    while (!stopping_) {
        if (LinesDifferFromShown()) {
            ReportAndAwaitTaken();
            continue;
        }
        const int32_t result = wait_();
        if (stopping_)
            break;
        if (result > 0) {
            ReportAndAwaitTaken();
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
// A thread waiting for Taken is woken through taken_ instead.
void LineWatcher::Stop()
{
    if (!thread_.joinable())
        return;
    stopping_ = true;
    {
        std::unique_lock lock(mutex_);
        while (!finished_) {
            taken_.notify_all();
            ::pthread_kill(thread_.native_handle(), WakeSignal());
            ended_.wait_for(lock, std::chrono::milliseconds(10));
        }
    }
    thread_.join();
}
