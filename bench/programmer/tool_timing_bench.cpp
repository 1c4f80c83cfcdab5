// Each programmer tool's wall time on the virtual programmer beside its ideal
// time: the sum of the waits and bit times its job prescribes at D = 200 us.
// Goal: within 2 %. The tools are run as processes, start-up included.
//
//   bench_programmer_tools [directory of the tool binaries]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kDelayMs = 0.2;
// Unit delays per primitive.
constexpr double kCommand = 24 * kDelayMs, kDataOut = 64 * kDelayMs, kDataIn = 48 * kDelayMs;
// Presence test (4 x 10 ms) and each switch-on or -off (40 ms).
constexpr double kTest = 40, kStartStop = 40;

double ReadJob(double perWord) { return kTest + kStartStop + 1000 + 10 * perWord + 100 + kStartStop; }

double WriteJob(double firstWait)
{
    return kTest + kStartStop + firstWait + (kCommand + kDataOut + 2 * kCommand + 20) + kStartStop + 200 +
           kStartStop + 200 + 10 * (kCommand + kDataOut + kCommand + 20 + kCommand) + 100 + kStartStop;
}

double ReadIdsJob()
{
    return kTest + kStartStop + 1000 + kCommand + kDataOut + 4 * (kCommand + kDataIn + kCommand) + 3 * kCommand +
           kCommand + kDataIn + 100 + kStartStop;
}

double WriteIdsJob()
{
    return kTest + kStartStop + 1000 + kCommand + kDataOut + 4 * (kCommand + kDataOut + kCommand + 20 + kCommand) +
           3 * kCommand + kCommand + kDataOut + kCommand + 100 + kStartStop;
}

double RunMilliseconds(const std::filesystem::path& tool, const std::filesystem::path& dir)
{
    std::fflush(stdout);  // the child must not inherit unwritten output
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        if (::chdir(dir.c_str()) != 0 || !std::freopen("/dev/null", "w", stdout))
            ::_exit(127);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::execl(tool.c_str(), tool.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path bin = argc > 1 ? argv[1] : BENCH_BIN_DIR;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("bench-tools-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "Preferences.ini") << "Vantrel_Delay = 200\nComPortName = VIRTUAL\n";

    const std::vector<std::pair<const char*, double>> tools = {
        {"pic-write-program", WriteJob(1000)},   {"pic-read-program", ReadJob(kCommand + kDataIn + kCommand)},
        {"pic-write-data", WriteJob(200)},       {"pic-read-data", ReadJob(kCommand + kDataIn + kCommand)},
        {"pic-read-data-dyn", ReadJob(kCommand + kDataIn + kCommand)},
        {"pic-write-ids", WriteIdsJob()},        {"pic-read-ids", ReadIdsJob()},
    };
    std::printf("tool                 median of 5    ideal      deviation\n");
    for (const auto& [tool, ideal] : tools) {
        std::vector<double> runs;
        for (int i = 0; i < 5; ++i)
            runs.push_back(RunMilliseconds(bin / tool, dir));
        std::sort(runs.begin(), runs.end());
        std::printf("%-20s %8.1f ms  %8.1f ms   %+6.2f %%\n", tool, runs[2], ideal, 100.0 * (runs[2] - ideal) / ideal);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
