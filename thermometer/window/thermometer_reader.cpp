#include "thermometer_reader.h"

#include "hid_access.h"
#include "thermometer_reading.h"

#include <array>
#include <chrono>
#include <optional>

namespace {
constexpr auto kReadInterval = std::chrono::milliseconds(100);
constexpr int kReportLength = 3;
// hidraw keeps at most 64 reports per reader.
constexpr int kMaxQueuedReports = 64;

// A failed or short read is not decoded: its bytes are not a reading.
std::optional<float> AcceptedReading(const std::uint8_t* report, int length)
{
    if (length < kReportLength)
        return std::nullopt;
    const float t = TemperatureFromRaw(ReportRawValue(report));
    if (!TemperatureAccepted(t))
        return std::nullopt;
    return t;
}
}  // namespace

ThermometerReader::ThermometerReader(ThermometerState& state, Deliver deliver)
    : state_(state), deliver_(std::move(deliver))
{
}

ThermometerReader::~ThermometerReader()
{
    Stop();
}

void ThermometerReader::Start()
{
    if (!thread_.joinable())
        thread_ = std::thread(&ThermometerReader::Loop, this);
}

void ThermometerReader::Stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void ThermometerReader::Loop()
{
    do {
        std::int32_t handle = state_.DeviceHandle.load();
        if (handle != 0)
            ReadOnce(handle);
    } while (PauseOrStop());
}

void ThermometerReader::ReadOnce(std::int32_t handle)
{
    std::array<std::uint8_t, 6> buffer{};
    buffer[0] = 0;
    int error = 0;
    int n = HidReadReportEx(handle, buffer.data(), kReportLength, &error);
    if (n == 0 && error != 0 && state_.DeviceHandle.load() == handle)
        state_.FailedHandle.store(handle);
    if (n == 0)
        return;
    std::optional<float> newest = AcceptedReading(buffer.data(), n);
    // The system queues the reports that come while this thread pauses. A
    // thermometer that sends every 100 ms outpaces a loop of one read and a
    // 100 ms pause, so the queue would slowly fill and every shown reading be
    // seconds old: take what has queued and keep the newest accepted one.
    for (int i = 0; i < kMaxQueuedReports; ++i) {
        buffer.fill(0);
        n = HidReadWaitingReport(handle, buffer.data(), kReportLength, &error);
        if (n == 0)
            break;
        if (std::optional<float> t = AcceptedReading(buffer.data(), n))
            newest = t;
    }
    if (!newest)
        return;
    const float t = *newest;
    // A reading from a handle closed meanwhile belongs to an unplugged device.
    if (state_.DeviceHandle.load() != handle)
        return;
    state_.TemperatureWhole.store(WholeDegrees(t));
    // A thermometer repeats its reading every 100 ms: wake the window only
    // when the text would change. Every change of handle goes with "OFF" or a
    // new device, so the first reading of a handle is always shown.
    std::string text = FormatTemperature(t);
    if (handle == shownHandle_ && text == shownText_)
        return;
    shownHandle_ = handle;
    shownText_ = std::move(text);
    deliver_(handle, t);
}

bool ThermometerReader::PauseOrStop()
{
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_for(lock, kReadInterval, [this] { return stopping_; });
    return !stopping_;
}
