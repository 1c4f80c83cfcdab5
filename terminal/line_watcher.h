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
    // 1 for a change, and once with -1 when the port cannot wait, after
    // which the thread ends. A watcher already running is stopped first.
    //
    // After reporting a change the thread does not wait for the next one
    // until Taken is called, so a line that never rests wakes it once per
    // tick of the front end. Before each wait it compares readLines() with
    // the lines the last Taken passed, and reports at once when they differ:
    // a change made while it was not waiting is not lost.
    void Start(std::function<int32_t()> wait, std::function<int32_t()> readLines,
               std::function<void(int32_t)> onEvent);

    // From the front end after it has read the lines, with what it read (in
    // the form readLines returns): the change reported last is taken.
    void Taken(int32_t shownLines);

    // Returns once the thread is out of the wait and gone, so that the port
    // can be closed. Interrupts a blocked wait with a signal.
    void Stop();

private:
    void Run();
    bool LinesDifferFromShown();
    void ReportAndAwaitTaken();

    std::function<int32_t()> wait_;
    std::function<int32_t()> readLines_;
    std::function<void(int32_t)> onEvent_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable taken_;
    std::condition_variable ended_;
    bool reported_ = false;  // a change is reported and not yet taken
    bool shownKnown_ = false;
    int32_t shown_ = 0;
    bool finished_ = false;
};
