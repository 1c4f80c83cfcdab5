// The reader thread: waits for the thermometer's reports, decodes them and
// hands accepted readings to the window.
#pragma once

#include "thermometer_state.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class ThermometerReader {
public:
    // deliver(handle, t) runs on the reader thread for each accepted reading
    // whose text differs from the last one delivered for that handle, after
    // TemperatureWhole has been stored; handle is the one it was read from.
    using Deliver = std::function<void(std::int32_t handle, float t)>;

    ThermometerReader(ThermometerState& state, Deliver deliver);
    ~ThermometerReader();
    ThermometerReader(const ThermometerReader&) = delete;
    ThermometerReader& operator=(const ThermometerReader&) = delete;

    void Start();
    // Ends the loop and joins. A read blocked on an open handle ends only when
    // the handle is closed or the device goes away, so close it first.
    void Stop();

private:
    void Loop();
    void ReadOnce(std::int32_t handle);
    bool PauseOrStop();

    ThermometerState& state_;
    Deliver deliver_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    // Reader thread only: the last reading handed over and its handle.
    std::int32_t shownHandle_ = 0;
    std::string shownText_;
};
