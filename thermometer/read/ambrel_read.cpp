// ambrel-read: the thermometer's reading for shells, logs and Prometheus,
// through the same HID access, presence checks and reader thread as Ambrel.
#include "hid_access.h"
#include "presence_check.h"
#include "read_output.h"
#include "thermometer_reader.h"
#include "thermometer_reading.h"

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <getopt.h>
#include <mutex>
#include <optional>
#include <string>

#ifndef AMBREL_READ_VERSION
#define AMBREL_READ_VERSION "?"
#endif

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitNoReading = 3;
constexpr auto kFirstReadingWait = std::chrono::seconds(2);
// As often as Ambrel's window looks for the thermometer.
constexpr auto kPresenceInterval = std::chrono::milliseconds(400);

using Clock = std::chrono::steady_clock;

struct Options {
    double watchSeconds = 0;  // 0: one reading
    LineFormat format = LineFormat::Plain;
    std::string prometheusFile;
};

const char* const kHelp =
    "Использование: ambrel-read [--watch СЕКУНДЫ] [--format csv|json] [--prometheus ФАЙЛ]\n"
    "Показание USB-термометра Ambrel в градусах Цельсия.\n"
    "\n"
    "Без параметров ждёт до 2 с одно годное показание и печатает его (23.5).\n"
    "  --watch СЕКУНДЫ    строка «время показание» каждые СЕКУНДЫ, до Ctrl+C\n"
    "  --format csv|json  вид строк (CSV со строкой заголовка)\n"
    "  --prometheus ФАЙЛ  переписывать ФАЙЛ для textfile collector node_exporter\n"
    "  --help             эта справка\n"
    "  --version          версия\n"
    "\n"
    "Коды завершения: 0 успех, 2 неверные параметры, 3 нет термометра или показания.\n";

void PrintUsageError(const std::string& what)
{
    std::fprintf(stderr, "ambrel-read: %s\nПодробнее: ambrel-read --help\n", what.c_str());
}

// Returns the exit code when the program should end without reading.
std::optional<int> ParseOptions(int argc, char** argv, Options& options)
{
    static const option kLong[] = {
        {"watch", required_argument, nullptr, 'w'},
        {"format", required_argument, nullptr, 'f'},
        {"prometheus", required_argument, nullptr, 'p'},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},
        {nullptr, 0, nullptr, 0},
    };
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, "", kLong, nullptr)) != -1) {
        const std::string value = optarg ? optarg : "";
        switch (c) {
        case 'w': {
            char* end = nullptr;
            double seconds = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || !std::isfinite(seconds) || seconds < 0.1 || seconds > 86400) {
                PrintUsageError("период --watch должен быть числом секунд от 0.1 до 86400: «" + value + "»");
                return kExitUsage;
            }
            options.watchSeconds = seconds;
            break;
        }
        case 'f':
            if (value == "csv") {
                options.format = LineFormat::Csv;
            } else if (value == "json") {
                options.format = LineFormat::Json;
            } else {
                PrintUsageError("формат может быть csv или json: «" + value + "»");
                return kExitUsage;
            }
            break;
        case 'p':
            if (value.empty()) {
                PrintUsageError("для --prometheus нужно имя файла");
                return kExitUsage;
            }
            options.prometheusFile = value;
            break;
        case 'h':
            std::fputs(kHelp, stdout);
            return kExitOk;
        case 'V':
            std::printf("ambrel-read %s\n", AMBREL_READ_VERSION);
            return kExitOk;
        default:
            PrintUsageError(std::string("неизвестный или неполный параметр: ") + argv[optind - 1]);
            return kExitUsage;
        }
    }
    if (optind < argc) {
        PrintUsageError(std::string("лишний аргумент: ") + argv[optind]);
        return kExitUsage;
    }
    return std::nullopt;
}

// The reader thread's latest accepted reading, kept while its handle is open.
class LatestReading {
public:
    void Store(std::int32_t handle, float t)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        handle_ = handle;
        t_ = t;
    }
    std::optional<float> Current(const ThermometerState& state)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!ReadingIsCurrent(state, handle_))
            return std::nullopt;
        return t_;
    }

private:
    std::mutex mutex_;
    std::int32_t handle_ = 0;
    float t_ = 0;
};

// Waits until the deadline or a stop signal; true when a signal came.
bool WaitForStopSignal(const sigset_t& signals, Clock::time_point until)
{
    auto left = until - Clock::now();
    if (left <= Clock::duration::zero())
        return false;
    auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    timespec timeout{static_cast<std::time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    return sigtimedwait(&signals, nullptr, &timeout) > 0;
}

class Session {
public:
    Session() : reader_(state_, [this](std::int32_t h, float t) { latest_.Store(h, t); }) {}
    ~Session()
    {
        CloseThermometer(state_);
        reader_.Stop();
    }
    void Start() { reader_.Start(); }
    PresenceChange Check()
    {
        PresenceChange change = CheckPresence(state_);
        if (std::int32_t handle = state_.DeviceHandle.load())
            if (std::string path = HidDevicePath(handle); !path.empty())
                devicePath_ = path;
        return change;
    }
    std::optional<float> Current() { return latest_.Current(state_); }
    bool Present() const { return state_.LastPresence != 0; }
    const std::string& DevicePath() const { return devicePath_; }

private:
    ThermometerState state_;
    LatestReading latest_;
    ThermometerReader reader_;
    std::string devicePath_;
};

bool WritePrometheus(const Options& options, const Session& session, std::optional<float> t)
{
    std::string error = ReplaceFileAtomically(options.prometheusFile, PrometheusText(session.DevicePath(), t));
    if (error.empty())
        return true;
    std::fprintf(stderr, "ambrel-read: не удалось записать %s: %s\n", options.prometheusFile.c_str(), error.c_str());
    return false;
}

void PrintReading(const Options& options, float t)
{
    std::string line = options.watchSeconds > 0 || options.format != LineFormat::Plain
                           ? ReadingLine(options.format, LocalTimestamp(std::time(nullptr)), t)
                           : FormatTemperatureValue(t);
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void PrintHeader(const Options& options)
{
    if (!options.prometheusFile.empty())
        return;
    std::string header = LineHeader(options.format);
    if (!header.empty())
        std::printf("%s\n", header.c_str());
}

int ReadOnce(const Options& options, Session& session, const sigset_t& signals)
{
    const auto deadline = Clock::now() + kFirstReadingWait;
    std::optional<float> t;
    while (!(t = session.Current())) {
        session.Check();
        if (Clock::now() >= deadline || WaitForStopSignal(signals, std::min(deadline, Clock::now() + std::chrono::milliseconds(50))))
            break;
    }
    t = session.Current();
    if (!options.prometheusFile.empty()) {
        if (!WritePrometheus(options, session, t))
            return kExitNoReading;
    } else if (t) {
        PrintHeader(options);
        PrintReading(options, *t);
    }
    if (!t) {
        std::fputs(session.Present() ? "ambrel-read: термометр не дал годного показания за 2 секунды\n"
                                     : "ambrel-read: термометр не подключён\n",
                   stderr);
        return kExitNoReading;
    }
    return kExitOk;
}

int Watch(const Options& options, Session& session, const sigset_t& signals)
{
    PrintHeader(options);
    const auto interval = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.watchSeconds));
    auto nextLine = Clock::now() + interval;
    auto nextCheck = Clock::now();
    bool told = false;  // the missing thermometer was reported
    for (;;) {
        if (Clock::now() >= nextCheck) {
            PresenceChange change = session.Check();
            if (change == PresenceChange::Appeared && told) {
                std::fputs("ambrel-read: термометр снова подключён\n", stderr);
                told = false;
            } else if (!session.Present() && !told) {
                std::fputs("ambrel-read: термометр не подключён, жду его подключения\n", stderr);
                told = true;
            }
            nextCheck += kPresenceInterval;
        }
        if (Clock::now() >= nextLine) {
            std::optional<float> t = session.Current();
            if (!options.prometheusFile.empty())
                WritePrometheus(options, session, t);
            else if (t)
                PrintReading(options, *t);
            nextLine += interval;
            // A stalled machine skips the lines it missed instead of bursting.
            if (nextLine < Clock::now())
                nextLine = Clock::now() + interval;
        }
        if (WaitForStopSignal(signals, std::min(nextLine, nextCheck)))
            return kExitOk;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (std::optional<int> code = ParseOptions(argc, argv, options))
        return *code;

    // Ctrl+C and SIGTERM are taken by the main loop; blocked before the reader
    // thread starts so that it inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    if (!HidLoad()) {
        std::fputs("ambrel-read: не найдена библиотека libhidapi-hidraw.so.0\n", stderr);
        return kExitNoReading;
    }
    Session session;
    session.Check();
    session.Start();
    return options.watchSeconds > 0 ? Watch(options, session, signals) : ReadOnce(options, session, signals);
}
