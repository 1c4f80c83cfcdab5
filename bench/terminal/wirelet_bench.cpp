// Wirelet's start-up time and idle cost beside CuteCom's, measured in one run.
//
// Run it through bench/terminal/run-bench, which starts Xvfb and uses Qt's xcb
// platform (offscreen paints nothing and hides the cost of repainting).
//
// Both terminals open a pseudo-terminal as their port. A pty has no modem
// lines and CuteCom closes a port whose line query fails, so both run with the
// same LD_PRELOAD shim that answers the modem-line ioctls and waits in
// TIOCMIWAIT as a UART driver does (the path is the first argument). Wirelet runs its own start-up code in a child process with
// COM1 routed to its pty; CuteCom gets its pty as the device of a session and
// its "Open" button is pressed with xdotool (Alt+O).
//
// Printed for each program: start to window shown (median of several starts:
// the window seen mapped on the display by xdotool, polled every 5 ms; for
// Wirelet also its first paint, reported by the process itself), CPU over an
// idle period with the port open, once with the keyboard focus elsewhere and
// once on the window (then its text cursor blinks) (summed per-thread run time from
// /proc/PID/task/*/schedstat, nanosecond resolution), X11 writes per second
// (sendmsg and writev, that is X11 requests, counted with strace afterwards)
// and resident memory.
//
// With --flood, only Wirelet, with the shim toggling CTS at every line wait:
// every 100 us (10 kHz) and with no gap at all, after two periods for
// comparison: the lines still, and a driver without the line wait (the window
// then reads the lines on its 50 ms timer), its lines still and CTS toggling
// every 100 us and every 50 ms of the clock. Printed: CPU over the period
// and resident memory at its start and end (a queue of line events that
// grows would show there).
//
// Usage: bench_wirelet PRELOAD [IDLE-SECONDS]      both programs
//        bench_wirelet PRELOAD IDLE-SECONDS --cutecom   CuteCom only
//        bench_wirelet PRELOAD IDLE-SECONDS --flood     Wirelet on a busy line
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
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr int kStartRuns = 5;
constexpr int kWarmUpSeconds = 3;

std::string g_comPath;

int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// ---- the Wirelet child ----

// Only COM1 opens, and only onto the pseudo-terminal given by the parent.
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
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && qobject_cast<TerminalWindow*>(object)) {
            std::printf("shown %lld\n", static_cast<long long>(NowNs()));
            std::fflush(stdout);
            // The program has no such filter: it must not weigh on the idle figure.
            qApp->removeEventFilter(this);
        }
        return false;
    }
};

int RunTerminalChild(int argc, char** argv)
{
    g_comPath = argv[3];
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    FirstPaint watcher;
    app.installEventFilter(&watcher);
    SerialPortApi api = SystemSerialPortApi();
    api.open = OpenRouted;
    api.portDevices = nullptr;  // COM1 is the pty, not a device of this machine
    const auto window = StartTerminal(api, argv[2]);
    if (!window->connection().IsOpen())
        std::fprintf(stderr, "Wirelet did not open %s\n", g_comPath.c_str());
    return app.exec();
}

// ---- the measuring parent ----

struct Child {
    pid_t pid = -1;
    FILE* out = nullptr;
    int64_t startNs = 0;
};

Child Spawn(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv)
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
    std::vector<char*> envp;
    for (const std::string& e : extraEnv)
        envp.push_back(const_cast<char*>(e.c_str()));
    for (char** e = environ; *e; ++e)
        envp.push_back(*e);
    envp.push_back(nullptr);
    Child child;
    child.startNs = NowNs();
    if (posix_spawnp(&child.pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        child.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    child.out = ::fdopen(pipeFds[0], "r");
    return child;
}

void Finish(Child& child)
{
    if (child.pid > 0) {
        ::kill(child.pid, SIGTERM);
        ::waitpid(child.pid, nullptr, 0);
    }
    if (child.out)
        std::fclose(child.out);
    child = Child{};
}

std::string Run(const std::string& command)
{
    std::string text;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char chunk[256];
        while (std::fgets(chunk, sizeof chunk, pipe))
            text += chunk;
        ::pclose(pipe);
    }
    return text;
}

// The child's first window mapped on the display, or empty after 10 s.
std::string WaitForWindow(const Child& child)
{
    const std::string query = "xdotool search --onlyvisible --pid " + std::to_string(child.pid) + " 2>/dev/null";
    for (int64_t until = NowNs() + 10'000'000'000; NowNs() < until;) {
        std::string window = Run(query);
        if (!window.empty())
            return window.substr(0, window.find('\n'));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return "";
}

// The child's "shown <ns>" line, or -1.
int64_t FirstPaintNs(Child& child)
{
    char line[128];
    long long ns = -1;
    while (child.out && std::fgets(line, sizeof line, child.out)) {
        if (std::sscanf(line, "shown %lld", &ns) == 1)
            break;
    }
    return ns;
}

// Run time of all the process's threads, in seconds.
double CpuSeconds(pid_t pid)
{
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    double total = 0;
    if (DIR* dir = ::opendir(tasks.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] == '.')
                continue;
            std::ifstream stat(tasks + "/" + entry->d_name + "/schedstat");
            long long ns = 0;
            if (stat >> ns)
                total += ns / 1e9;
        }
        ::closedir(dir);
    }
    return total;
}

// X11 requests leave through sendmsg or writev (libxcb); counted with strace
// over a few seconds, after the CPU figure so that tracing does not disturb it.
double X11WritesPerSecond(pid_t pid, const std::string& traceFile)
{
    constexpr int kTraceSeconds = 5;
    Run("timeout -s INT " + std::to_string(kTraceSeconds) + " strace -f -qq -e trace=sendmsg,writev -o " +
        traceFile + " -p " + std::to_string(pid) + " >/dev/null 2>&1");
    std::ifstream trace(traceFile);
    long calls = 0;
    for (std::string line; std::getline(trace, line);) {
        if ((line.find("sendmsg(") != std::string::npos || line.find("writev(") != std::string::npos) &&
            line.find("resumed>") == std::string::npos)
            ++calls;
    }
    std::remove(traceFile.c_str());
    return double(calls) / kTraceSeconds;
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

// True when the process holds path open.
bool HoldsOpen(pid_t pid, const std::string& path)
{
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    bool found = false;
    if (DIR* dir = ::opendir(fds.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            char target[4096] = {};
            if (::readlink((fds + "/" + entry->d_name).c_str(), target, sizeof target - 1) > 0 && path == target)
                found = true;
        }
        ::closedir(dir);
    }
    return found;
}

struct Program {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::string> env;
    std::string port;
    bool pressOpen = false;  // CuteCom opens its port only on "Open"
};

void Median(const char* name, const char* what, std::vector<double> ms)
{
    if (ms.empty()) {
        std::printf("%-8s %s: no window seen\n", name, what);
        return;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-8s %s: median %.0f ms (min %.0f, max %.0f, %zu starts)\n", name, what, ms[ms.size() / 2],
                ms.front(), ms.back(), ms.size());
}

void MeasureStart(const Program& p)
{
    std::vector<double> mapped;
    std::vector<double> painted;
    for (int i = 0; i < kStartRuns; ++i) {
        Child child = Spawn(p.args, p.env);
        if (!WaitForWindow(child).empty())
            mapped.push_back((NowNs() - child.startNs) / 1e6);
        if (!p.pressOpen) {
            const int64_t shown = FirstPaintNs(child);
            if (shown > 0)
                painted.push_back((shown - child.startNs) / 1e6);
        }
        Finish(child);
    }
    Median(p.name, "start to window mapped", mapped);
    if (!p.pressOpen)
        Median(p.name, "start to first paint  ", painted);
}

// Where the keyboard focus goes before the idle period: a focused window
// blinks the cursor of its text field, as on a desktop that focuses new windows.
void Focus(const std::string& window, bool focused)
{
    if (focused)
        Run("xdotool windowfocus --sync " + window + " >/dev/null 2>&1");
    else
        Run("xdotool windowfocus $(xwininfo -root | awk '/Window id:/ {print $4}') >/dev/null 2>&1");
}

void MeasureIdle(const Program& p, int seconds, const std::string& dir, bool focused)
{
    Child child = Spawn(p.args, p.env);
    const std::string window = WaitForWindow(child);
    if (window.empty()) {
        std::printf("%-8s could not be started\n", p.name);
        Finish(child);
        return;
    }
    if (p.pressOpen) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        // No window manager under Xvfb: focus the window, then type into it.
        Run("xdotool windowfocus --sync " + window + " >/dev/null 2>&1; xdotool key alt+o >/dev/null 2>&1");
    }
    Focus(window, focused);
    std::this_thread::sleep_for(std::chrono::seconds(kWarmUpSeconds));
    const bool open = HoldsOpen(child.pid, p.port);
    const double cpuBefore = CpuSeconds(child.pid);
    const int64_t wallBefore = NowNs();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double wall = (NowNs() - wallBefore) / 1e9;
    const double cpu = CpuSeconds(child.pid) - cpuBefore;
    const bool stillOpen = HoldsOpen(child.pid, p.port);
    const long residentKb = ResidentKb(child.pid);
    const double writes = X11WritesPerSecond(child.pid, dir + "/trace");
    std::printf("%-8s idle, port %s, window %s: CPU %.3f %% of one core over %.0f s, resident %.1f MB, "
                "%.1f X11 writes/s (strace)\n",
                p.name, open && stillOpen ? "open" : "NOT OPEN", focused ? "focused    " : "not focused",
                100.0 * cpu / wall, wall, residentKb / 1024.0, writes);
    Finish(child);
}

// lines: what the shim's modem lines do, named in the output.
void MeasureFlood(const Program& p, int seconds, const std::string& lines, const std::string& shimSetting)
{
    Program flooded = p;
    flooded.env.push_back(shimSetting);
    Child child = Spawn(flooded.args, flooded.env);
    if (WaitForWindow(child).empty()) {
        std::printf("%-8s could not be started\n", p.name);
        Finish(child);
        return;
    }
    std::this_thread::sleep_for(std::chrono::seconds(kWarmUpSeconds));
    const long residentBefore = ResidentKb(child.pid);
    const double cpuBefore = CpuSeconds(child.pid);
    const int64_t wallBefore = NowNs();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double wall = (NowNs() - wallBefore) / 1e9;
    const double cpu = CpuSeconds(child.pid) - cpuBefore;
    std::printf("%-8s %-40s port %s: CPU %5.2f %% of one core over %.0f s, resident %.1f -> %.1f MB\n",
                p.name, lines.c_str(), HoldsOpen(child.pid, p.port) ? "open" : "NOT OPEN", 100.0 * cpu / wall, wall,
                residentBefore / 1024.0, ResidentKb(child.pid) / 1024.0);
    Finish(child);
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

// A pseudo-terminal kept open by this process; its slave's path.
std::string OpenPty()
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return "";
    return ::ptsname(master);
}

// CuteCom's settings: one session whose device is the pty, in its own
// configuration directory.
std::string WriteCuteComConfig(const std::string& dir, const std::string& device)
{
    const std::string config = dir + "/config";
    ::mkdir(config.c_str(), 0700);
    ::mkdir((config + "/CuteCom").c_str(), 0700);
    std::ofstream file(config + "/CuteCom/CuteCom5.conf");
    file << "[CuteCom]\nsession=bench\n\n[sessions]\n1\\BaudRate=9600\n1\\DataBits=8\n1\\Device=" << device
         << "\n1\\FlowControl=0\n1\\OpenMode=3\n1\\Parity=0\n1\\StopBits=1\n1\\autoReconnect=false\n"
            "1\\name=bench\nsize=1\n";
    return config;
}

void PrintLoad()
{
    std::ifstream load("/proc/loadavg");
    std::string one, five, fifteen;
    load >> one >> five >> fifteen;
    std::printf("load average: %s %s %s\n", one.c_str(), five.c_str(), fifteen.c_str());
}

int RunFloodBenchmark(const char* self, const std::string& preload, int seconds)
{
    char dirTemplate[] = "/tmp/wirelet-bench-XXXXXX";
    const std::string dir = ::mkdtemp(dirTemplate) ? dirTemplate : "/tmp";
    PrintLoad();
    const std::string port = OpenPty();
    const Program wirelet{"Wirelet", {self, "--child", dir + "/Wirelet.ini", port}, {"LD_PRELOAD=" + preload}, port};
    MeasureFlood(wirelet, seconds, "no line wait (50 ms timer), CTS still,", "MODEM_LINES_NO_WAIT=1");
    Program polled = wirelet;
    polled.env.push_back("MODEM_LINES_NO_WAIT=1");
    MeasureFlood(polled, seconds, "no line wait, CTS toggling every 100 us,", "MODEM_LINES_TOGGLE_US=100");
    // About every tick sees a change, as on the busy line with the wait.
    MeasureFlood(polled, seconds, "no line wait, CTS toggling every 50 ms,", "MODEM_LINES_TOGGLE_US=50000");
    MeasureFlood(wirelet, seconds, "CTS still,", "MODEM_LINES_TOGGLE_US=-1");
    MeasureFlood(wirelet, seconds, "CTS toggling every 100 us,", "MODEM_LINES_TOGGLE_US=100");
    MeasureFlood(wirelet, seconds, "CTS toggling with no gap,", "MODEM_LINES_TOGGLE_US=0");
    PrintLoad();
    Run("rm -rf " + dir);
    return 0;
}

int RunBenchmark(const char* self, const std::string& preload, int seconds, bool cutecomOnly)
{
    char dirTemplate[] = "/tmp/wirelet-bench-XXXXXX";
    const std::string dir = ::mkdtemp(dirTemplate) ? dirTemplate : "/tmp";
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    std::printf("Qt platform: %s, display %s\n", platform ? platform : "(default)",
                std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "(none)");
    std::printf("ports: pseudo-terminals, modem-line ioctls answered by the LD_PRELOAD shim %s (both programs), "
                "which also waits in TIOCMIWAIT as a UART driver does while the lines stay put\n",
                preload.c_str());
    PrintLoad();
    const std::string preloadEnv = "LD_PRELOAD=" + preload;

    std::vector<Program> programs;
    if (!cutecomOnly) {
        const std::string port = OpenPty();
        programs.push_back({"Wirelet", {self, "--child", dir + "/Wirelet.ini", port}, {preloadEnv}, port});
    }
    const std::string cutecom = FindInPath("cutecom");
    if (cutecom.empty()) {
        std::printf("CuteCom  not installed: no comparison figures (run-bench installs it)\n");
    } else {
        const std::string port = OpenPty();
        const std::string config = WriteCuteComConfig(dir, port);
        programs.push_back({"CuteCom", {cutecom, "-s", "bench"}, {preloadEnv, "XDG_CONFIG_HOME=" + config}, port,
                            true});
    }
    for (const Program& p : programs)
        MeasureStart(p);
    for (bool focused : {false, true}) {
        for (const Program& p : programs)
            MeasureIdle(p, seconds, dir, focused);
    }
    PrintLoad();
    Run("rm -rf " + dir);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 4 && std::strcmp(argv[1], "--child") == 0)
        return RunTerminalChild(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PRELOAD [IDLE-SECONDS [--cutecom]]\n", argv[0]);
        return 2;
    }
    char self[4096] = {};
    if (::readlink("/proc/self/exe", self, sizeof self - 1) <= 0)
        std::snprintf(self, sizeof self, "%s", argv[0]);
    const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    if (argc > 3 && std::strcmp(argv[3], "--flood") == 0)
        return RunFloodBenchmark(self, argv[1], seconds);
    const bool cutecomOnly = argc > 3 && std::strcmp(argv[3], "--cutecom") == 0;
    return RunBenchmark(self, argv[1], seconds, cutecomOnly);
}
