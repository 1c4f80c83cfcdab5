// Ambrel's CPU use and memory while it idles beside a thermometer that sends
// a report every 100 ms. The thermometer is faked with umockdev in this
// process; Ambrel runs as a child under umockdev's preload, so its figures
// include the preload's own overhead (an upper bound for real hardware).
// CPU is summed per thread from /proc/PID/task/*/schedstat, over the threads
// alive at both ends of the period.
//
// With a FIFO preload the thermometer's node is a FIFO instead (see
// FakeHidBus::ServeThroughFifo): reads and polls are native, as on hidraw, and
// umockdev only supplies sysfs and the node's path.
//
// Usage: ambrel_idle_bench PATH-TO-Ambrel [SECONDS [FIFO-PRELOAD]]
#include "fake_hid_bus.h"

#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

namespace {

// Run time of each of the process's threads, in ns (nanosecond counters:
// clock ticks are too coarse for a tenth of a percent).
std::map<std::string, long long> ThreadTimes(pid_t pid)
{
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    std::map<std::string, long long> times;
    if (DIR* dir = opendir(tasks.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] == '.')
                continue;
            std::ifstream stat(tasks + "/" + entry->d_name + "/schedstat");
            long long ns = 0;
            if (stat >> ns)
                times[entry->d_name] = ns;
        }
        closedir(dir);
    }
    return times;
}

// CPU seconds between two samples, over the threads alive at both (a helper
// thread that ends in between would otherwise take its whole life away).
double CpuSeconds(const std::map<std::string, long long>& before, const std::map<std::string, long long>& after)
{
    long long ns = 0;
    for (const auto& [tid, t] : after) {
        auto found = before.find(tid);
        if (found != before.end())
            ns += t - found->second;
    }
    return static_cast<double>(ns) / 1e9;
}

std::string StatusLine(pid_t pid, const std::string& key)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(key + ":", 0) == 0)
            return line.substr(key.size() + 1);
    return " ?";
}

pid_t StartAmbrel(const char* path, const std::string& preload)
{
    pid_t pid = fork();
    if (pid == 0) {
        // A group of its own, so that the end of the run reaches whatever it
        // started too (below).
        setpgid(0, 0);
        setenv("LD_PRELOAD", preload.c_str(), 1);
        if (!std::getenv("QT_QPA_PLATFORM"))
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        execl(path, path, static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PATH-TO-Ambrel [SECONDS [FIFO-PRELOAD]]\n", argv[0]);
        return 2;
    }
    int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
    FakeHidBus bus;  // sets UMOCKDEV_DIR, which the child inherits
    int thermometer = bus.PlugThermometer();
    std::string preload = "libumockdev-preload.so.0";
    const bool fifo = argc > 3;
    if (fifo) {
        bus.ServeThroughFifo(thermometer);
        preload = std::string(argv[3]) + " " + preload;
    }
    pid_t ambrel = StartAmbrel(argv[1], preload);
    if (ambrel < 0)
        return 1;
    using namespace std::chrono;
    auto tick = [&] { bus.Send(thermometer, {0x70, 0x01}); };
    // Let it start up before measuring.
    for (int i = 0; i < 20; ++i, std::this_thread::sleep_for(milliseconds(100)))
        tick();
    auto cpuBefore = ThreadTimes(ambrel);
    auto wallBefore = steady_clock::now();
    for (auto next = wallBefore; steady_clock::now() - wallBefore < std::chrono::seconds(seconds);) {
        tick();
        next += milliseconds(100);
        std::this_thread::sleep_until(next);
    }
    const auto cpuAfter = ThreadTimes(ambrel);
    double cpu = CpuSeconds(cpuBefore, cpuAfter);
    double wall = duration<double>(steady_clock::now() - wallBefore).count();
    std::printf("Ambrel   with reports every 100 ms, %s: CPU %.3f %% of one core over %.0f s (goal <= 0.2 %%)\n",
                fifo ? "node a FIFO (native reads)" : "node emulated by umockdev", 100.0 * cpu / wall, wall);
    // Where it goes: the window's thread, the reader, the preload's helpers.
    for (const auto& [tid, t] : cpuAfter) {
        auto found = cpuBefore.find(tid);
        if (found == cpuBefore.end() || t == found->second)
            continue;
        std::string name;
        std::ifstream("/proc/" + std::to_string(ambrel) + "/task/" + tid + "/comm") >> name;
        std::printf("         thread %-16s %.3f %%\n", name.c_str(), 100.0 * (t - found->second) / 1e9 / wall);
    }
    std::printf("Ambrel   resident memory: now%s, peak%s (goal < 40 MB)\n", StatusLine(ambrel, "VmRSS").c_str(),
                StatusLine(ambrel, "VmHWM").c_str());
    kill(ambrel, SIGTERM);
    waitpid(ambrel, nullptr, 0);
    // The speech library may have forked to start its service; under the
    // preload such a child can hang on a lock taken by another thread before
    // the fork, holding our output open. Nothing of the group may outlive us.
    kill(-ambrel, SIGKILL);
    return 0;
}
