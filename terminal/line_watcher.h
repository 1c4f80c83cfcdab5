// A thread that waits for the port's input lines to change, so that the
// window need not poll them. Knows no widgets: it reports through a callback.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

class LineWatcher {
public:
    LineWatcher() = default;
    ~LineWatcher() { Stop(); }
    LineWatcher(const LineWatcher&) = delete;
    LineWatcher& operator=(const LineWatcher&) = delete;

    // Calls wait over and over in a thread of its own (wait returns as
    // SerialPortApi::waitLineChange does). onEvent runs in that thread: with
    // 1 after each change, and once with -1 when the port cannot wait, after
    // which the thread ends. A watcher already running is stopped first.
    void Start(std::function<int32_t()> wait, std::function<void(int32_t)> onEvent);

    // Returns once the thread is out of the wait and gone, so that the port
    // can be closed. Interrupts a blocked wait with a signal.
    void Stop();

private:
    void Run();

    std::function<int32_t()> wait_;
    std::function<void(int32_t)> onEvent_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable ended_;
    bool finished_ = false;
};
