// Each programmer tool's wall time on the virtual programmer beside its ideal
// time: the sum of the waits and bit times its job prescribes at D = 200 us.
// Goal: within 2 %. The tools are run as processes, start-up included.
// Then the same for the Windows tools (x86_64) under Wine, when that build is
// there: there the start of a Wine process is shown apart and taken off.
//
//   bench_programmer_tools [Linux tool directory [Windows tool directory]]
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

// Runs the command in dir, its output thrown away; wall time in milliseconds.
double RunMilliseconds(const std::vector<std::string>& command, const std::filesystem::path& dir)
{
    std::fflush(stdout);  // the child must not inherit unwritten output
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        if (::chdir(dir.c_str()) != 0 || !std::freopen("/dev/null", "w", stdout) ||
            !std::freopen("/dev/null", "w", stderr))
            ::_exit(127);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        std::vector<char*> argv;
        for (const std::string& arg : command)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double MedianOfFive(const std::vector<std::string>& command, const std::filesystem::path& dir)
{
    std::vector<double> runs;
    for (int i = 0; i < 5; ++i)
        runs.push_back(RunMilliseconds(command, dir));
    std::sort(runs.begin(), runs.end());
    return runs[2];
}

using ToolList = std::vector<std::pair<const char*, double>>;

void BenchLinuxTools(const ToolList& tools, const std::filesystem::path& bin, const std::filesystem::path& dir)
{
    std::printf("tool                 median of 5    ideal      deviation\n");
    for (const auto& [tool, ideal] : tools) {
        const double median = MedianOfFive({(bin / tool).string()}, dir);
        std::printf("%-20s %8.1f ms  %8.1f ms   %+6.2f %%\n", tool, median, ideal, 100.0 * (median - ideal) / ideal);
    }
}

// The Windows tools under Wine, in a prefix of their own made for the run
// (scripts/wine-run keeps the machine's serial ports out of its reach).
void BenchWindowsTools(const ToolList& tools, const std::filesystem::path& bin, const std::filesystem::path& dir)
{
    const std::string wineRun = std::string(BENCH_SOURCE_DIR) + "/scripts/wine-run";
    const std::string prefix = (dir / "wine-prefix").string();
    std::printf("\nWindows tools under Wine (%s)\n", bin.c_str());
    RunMilliseconds({wineRun, "init", prefix}, dir);
    if (!std::filesystem::exists(dir / "wine-prefix" / "system.reg")) {
        std::printf("  no Wine prefix could be made: skipped\n");
        return;
    }
    // The start of a Wine process, measured on a program that ends at once.
    const double start = MedianOfFive({wineRun, "--dir", dir.string(), prefix, "hostname.exe"}, dir);
    std::printf("start of a Wine process: %.1f ms, taken off below\n", start);
    std::printf("tool                 median of 5   less start    ideal      deviation\n");
    for (const auto& [tool, ideal] : tools) {
        const std::string exe = (bin / (std::string(tool) + ".exe")).string();
        const double median = MedianOfFive({wineRun, "--dir", dir.string(), prefix, exe}, dir);
        const double own = median - start;
        std::printf("%-20s %8.1f ms  %8.1f ms  %8.1f ms   %+6.2f %%\n", tool, median, own, ideal,
                    100.0 * (own - ideal) / ideal);
    }
    RunMilliseconds({wineRun, "stop", prefix}, dir);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path bin = argc > 1 ? argv[1] : BENCH_BIN_DIR;
    const std::filesystem::path windowsBin = argc > 2 ? argv[2] : BENCH_WINDOWS_BIN_DIR;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("bench-tools-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "Preferences.ini") << "Vantrel_Delay = 200\r\nComPortName = VIRTUAL\r\n";

    const ToolList tools = {
        {"pic-write-program", WriteJob(1000)},   {"pic-read-program", ReadJob(kCommand + kDataIn + kCommand)},
        {"pic-write-data", WriteJob(200)},       {"pic-read-data", ReadJob(kCommand + kDataIn + kCommand)},
        {"pic-read-data-dyn", ReadJob(kCommand + kDataIn + kCommand)},
        {"pic-write-ids", WriteIdsJob()},        {"pic-read-ids", ReadIdsJob()},
    };
    BenchLinuxTools(tools, bin, dir);
    if (std::filesystem::exists(windowsBin / "pic-read-ids.exe"))
        BenchWindowsTools(tools, windowsBin, dir);
    else
        std::printf("\nno Windows tools in %s (make windows): skipped\n", windowsBin.c_str());
    std::filesystem::remove_all(dir);
    return 0;
}
