// ambrel-read beside a faked thermometer that sends a report every 100 ms:
// the time from start to the printed reading, and the CPU use of --watch 1.
// As in ambrel_idle_bench, the child runs under umockdev's preload (and the
// FIFO preload when given, for native reads), so figures are upper bounds.
//
// Usage: ambrel_read_bench PATH-TO-ambrel-read [SECONDS [FIFO-PRELOAD]]
#include "fake_hid_bus.h"

#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono;

// Run time of all the process's threads alive now, in ns.
long long ProcessRunTime(pid_t pid)
{
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    long long total = 0;
    if (DIR* dir = opendir(tasks.c_str())) {
        while (dirent* entry = readdir(dir)) {
            long long ns = 0;
            if (entry->d_name[0] != '.' && std::ifstream(tasks + "/" + entry->d_name + "/schedstat") >> ns)
                total += ns;
        }
        closedir(dir);
    }
    return total;
}

pid_t Start(const char* path, const std::string& preload, const char* option, const char* value, int* out)
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        setenv("LD_PRELOAD", preload.c_str(), 1);
        execl(path, path, option, value, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    *out = fds[0];
    return pid;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PATH-TO-ambrel-read [SECONDS [FIFO-PRELOAD]]\n", argv[0]);
        return 2;
    }
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
    FakeHidBus bus;  // sets UMOCKDEV_DIR, which the children inherit
    const int thermometer = bus.PlugThermometer();
    std::string preload = "libumockdev-preload.so.0";
    const bool fifo = argc > 3;
    if (fifo) {
        bus.ServeThroughFifo(thermometer);
        preload = std::string(argv[3]) + " " + preload;
    }
    std::atomic<bool> sending{true};
    std::thread sender([&] {
        for (auto next = steady_clock::now(); sending; next += milliseconds(100)) {
            bus.Send(thermometer, {0x70, 0x01});
            std::this_thread::sleep_until(next + milliseconds(100));
        }
    });

    std::vector<double> times;
    for (int run = 0; run < 10; ++run) {
        int out = -1;
        const auto start = steady_clock::now();
        pid_t pid = Start(argv[1], preload, nullptr, nullptr, &out);
        char c;
        const bool printed = pid > 0 && read(out, &c, 1) == 1;
        const double ms = duration<double, std::milli>(steady_clock::now() - start).count();
        int status = 0;
        if (pid > 0)
            waitpid(pid, &status, 0);
        close(out);
        if (printed && WIFEXITED(status) && WEXITSTATUS(status) == 0)
            times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    if (times.empty())
        std::printf("ambrel-read once: no run printed a reading\n");
    else
        std::printf("ambrel-read once, %zu/10 runs, %s: median %.0f ms, max %.0f ms (goal < 150 ms)\n", times.size(),
                    fifo ? "node a FIFO" : "node emulated by umockdev", times[times.size() / 2], times.back());

    int out = -1;
    pid_t watch = Start(argv[1], preload, "--watch", "1", &out);
    if (watch > 0) {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const long long before = ProcessRunTime(watch);
        const auto wallBefore = steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        const double cpu = static_cast<double>(ProcessRunTime(watch) - before) / 1e9;
        const double wall = duration<double>(steady_clock::now() - wallBefore).count();
        std::printf("ambrel-read --watch 1: CPU %.3f %% of one core over %.0f s (goal: below Ambrel's idle figure)\n",
                    100.0 * cpu / wall, wall);
        kill(watch, SIGTERM);
        waitpid(watch, nullptr, 0);
        close(out);
    }
    sending = false;
    sender.join();
    return 0;
}
