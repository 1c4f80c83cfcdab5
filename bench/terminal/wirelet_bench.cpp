// Wirelet's idle cost and start-up time.
//
// Run without arguments. It starts the terminal's own code (the same
// start-up as the program) in child processes with COM1 routed to a
// pseudo-terminal, so a port is open and no byte moves, and prints:
//   - time from process start to the main window's first paint (goal < 300 ms)
//   - CPU use over 10 s idle with the port open (goal < 1 % of one core)
//   - resident memory then (goal < 60 MB)
// and the same idle figures for CuteCom when it is installed.
#include "port_api.h"
#include "serial_line.h"
#include "terminal_window.h"
#include "wirelet_startup.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr int kStartRuns = 7;
constexpr int kWarmUpSeconds = 2;
constexpr int kIdleSeconds = 10;

std::string g_comPath;

int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Only COM1 opens, and only onto this process's pseudo-terminal.
int32_t OpenRouted(const char* settings, int32_t handshake, int32_t in, int32_t out)
{
    const std::string text = settings;
    const std::size_t colon = text.find(':');
    if (text.substr(0, colon) != "COM1")
        return 0;
    return SerialLine_Open((g_comPath + text.substr(colon)).c_str(), handshake, in, out);
}

// Reports the first paint of the main window on standard output.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(bool quit) : quit_(quit) {}
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (!seen_ && event->type() == QEvent::Paint && qobject_cast<TerminalWindow*>(object)) {
            seen_ = true;
            std::printf("shown %lld\n", static_cast<long long>(NowNs()));
            std::fflush(stdout);
            if (quit_)
                QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return false;
    }

private:
    bool quit_;
    bool seen_ = false;
};

int RunTerminalChild(int argc, char** argv)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return 1;
    g_comPath = ::ptsname(master);
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    FirstPaint watcher(std::strcmp(argv[1], "--startup") == 0);
    app.installEventFilter(&watcher);
    SerialPortApi api = SystemSerialPortApi();
    api.open = OpenRouted;
    const auto window = StartTerminal(api, argv[2]);
    if (!window->connection().IsOpen())
        std::fprintf(stderr, "the pseudo-terminal did not open\n");
    return app.exec();
}

struct Child {
    pid_t pid = -1;
    FILE* out = nullptr;
};

Child Spawn(const std::vector<std::string>& args)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    Child child;
    if (posix_spawnp(&child.pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        child.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    child.out = ::fdopen(pipeFds[0], "r");
    return child;
}

void Finish(Child& child, bool kill)
{
    if (child.pid > 0 && kill)
        ::kill(child.pid, SIGTERM);
    if (child.pid > 0)
        ::waitpid(child.pid, nullptr, 0);
    if (child.out)
        std::fclose(child.out);
}

// The child's "shown <ns>" line, or -1.
int64_t ShownAt(Child& child)
{
    char line[128];
    long long ns = -1;
    while (child.out && std::fgets(line, sizeof line, child.out)) {
        if (std::sscanf(line, "shown %lld", &ns) == 1)
            break;
    }
    return ns;
}

double CpuSeconds(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string skip;
    for (int i = 3; i < 14; ++i)
        fields >> skip;
    long long user = 0, system = 0;
    fields >> user >> system;
    return double(user + system) / double(::sysconf(_SC_CLK_TCK));
}

long ResidentKb(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return -1;
}

void MeasureIdle(const char* name, const std::vector<std::string>& args, bool waitForShown)
{
    Child child = Spawn(args);
    if (child.pid <= 0 || (waitForShown && ShownAt(child) < 0)) {
        std::printf("%-8s could not be started\n", name);
        Finish(child, true);
        return;
    }
    std::this_thread::sleep_for(std::chrono::seconds(kWarmUpSeconds));
    const double before = CpuSeconds(child.pid);
    std::this_thread::sleep_for(std::chrono::seconds(kIdleSeconds));
    const double used = CpuSeconds(child.pid) - before;
    const long rssKb = ResidentKb(child.pid);
    std::printf("%-8s idle CPU %.2f %% of one core over %d s (goal < 1 %%), resident %.1f MB (goal < 60 MB)\n", name,
                100.0 * used / kIdleSeconds, kIdleSeconds, rssKb / 1024.0);
    Finish(child, true);
}

std::string FindInPath(const char* program)
{
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        const std::string candidate = dir + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return "";
}

int RunBenchmark(const char* self)
{
    char dirTemplate[] = "/tmp/wirelet-bench-XXXXXX";
    const std::string dir = ::mkdtemp(dirTemplate) ? dirTemplate : "/tmp";
    const std::string settings = dir + "/Wirelet.ini";
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::printf("Qt platform: %s\n", std::getenv("QT_QPA_PLATFORM"));

    std::vector<double> startMs;
    for (int i = 0; i < kStartRuns; ++i) {
        const int64_t start = NowNs();
        Child child = Spawn({self, "--startup", settings});
        const int64_t shown = ShownAt(child);
        Finish(child, false);
        if (shown > 0)
            startMs.push_back((shown - start) / 1e6);
    }
    std::sort(startMs.begin(), startMs.end());
    if (!startMs.empty())
        std::printf("Wirelet  start to window shown: median %.1f ms, min %.1f, max %.1f over %zu runs (goal < 300 ms)\n",
                    startMs[startMs.size() / 2], startMs.front(), startMs.back(), startMs.size());

    MeasureIdle("Wirelet", {self, "--idle", settings}, true);
    const std::string cutecom = FindInPath("cutecom");
    if (cutecom.empty())
        std::printf("CuteCom  not installed on this machine: no comparison figures\n");
    else
        MeasureIdle("CuteCom", {cutecom}, false);
    std::remove(settings.c_str());
    ::rmdir(dir.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && (std::strcmp(argv[1], "--startup") == 0 || std::strcmp(argv[1], "--idle") == 0))
        return RunTerminalChild(argc, argv);
    char self[4096] = {};
    if (::readlink("/proc/self/exe", self, sizeof self - 1) <= 0)
        std::snprintf(self, sizeof self, "%s", argv[0]);
    return RunBenchmark(self);
}
