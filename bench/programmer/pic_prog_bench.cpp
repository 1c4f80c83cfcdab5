// pic-prog write of a full PIC16F84A image (1024 program words, 64 data
// bytes, four identifier words, the configuration word) on the virtual
// programmer at D = 200 us and D = 10 us, with and without read-back. Each
// run is printed beside its ideal: the prescribed waits and bit times of the
// commands it sent, counted from the line record the run left behind. Beside
// them, the ideal of a naive loop that programs every location with its own
// Begin Erase/Programming cycle. Goal: within 2 % of its own ideal.
//
// The bit timing is a busy wait: on a loaded machine the process is not
// running for part of each wait and the wall time grows. The time it spent
// runnable but waiting for a processor (its run-queue delay from
// /proc/PID/schedstat, read before it is reaped) is printed beside it; the
// figures mean something only when that stays near zero. On a machine shared
// with other work, run it in a session of its own with a raised autogroup
// priority (see the README).
//
//   bench_pic_prog [pic-prog binary]
#include "chip_image.h"
#include "chip_table.h"
#include "intel_hex.h"
#include "programming_wire.h"
#include "virtual_programmer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Kind = sim::ChipEvent::Kind;

const ChipInfo& Chip() { return *ChipByName("PIC16F84A"); }

// Code-like words everywhere, none of them the erased value.
ChipImage FullImage()
{
    ChipImage image = EmptyImage(Chip());
    uint32_t x = 12345;
    const auto next = [&x] { return x = x * 1103515245u + 12345u; };
    for (ImageCell& cell : image.program)
        cell = {static_cast<uint16_t>((next() >> 8) % 0x3FFF), true};
    for (ImageCell& cell : image.data)
        cell = {static_cast<uint16_t>((next() >> 8) % 0xFF), true};
    for (size_t i = 0; i < image.ids.size(); ++i)
        image.ids[i] = {static_cast<uint16_t>(i + 1), true};
    image.config = {0x3FF1, true};
    return image;
}

struct Timing {
    double wall = 0;       // seconds from start to end
    double cpuWait = 0;    // seconds runnable but not running
};

// Run-queue delay of a process that has ended but is not reaped yet.
double RunQueueSeconds(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/schedstat");
    unsigned long long onCpu = 0, waiting = 0;
    in >> onCpu >> waiting;
    return waiting / 1e9;
}

Timing Run(const std::string& program, const fs::path& dir, const std::vector<std::string>& args)
{
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (::chdir(dir.c_str()) != 0 || !std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr))
            ::_exit(127);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    siginfo_t info{};
    ::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT);
    Timing timing;
    timing.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    timing.cpuWait = RunQueueSeconds(child);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::printf("  (pic-prog ended with status %d)\n", status);
    return timing;
}

uint32_t CycleMicroseconds(uint32_t command)
{
    for (const ProgrammingCycle& cycle : Chip().programCycles)
        if (cycle.command == command)
            return cycle.maxMicroseconds;
    return 0;
}

struct Ideal {
    double fixedUs = 0;    // presence test, switching, settling
    double commandUs = 0;  // bit times and cycle waits
    int commands = 0;
    double total() const { return fixedUs + commandUs; }
};

// What the record shows the run sent, at the times prescribed for it.
Ideal IdealOfRecord(const std::vector<sim::ChipEvent>& chip, int delay)
{
    Ideal ideal;
    ideal.fixedUs = 40000;  // the presence test's four 10 ms sleeps
    const double d = delay > 9 ? delay : 0;
    uint32_t previous = 0;
    int powerOns = 0;
    for (const sim::ChipEvent& e : chip) {
        switch (e.kind) {
        case Kind::PowerOn:
            ideal.fixedUs += kStartStopUs + kPowerSettleUs + (powerOns++ > 0 ? kPowerRestUs : 0);
            break;
        case Kind::PowerOff:
            ideal.fixedUs += kStartStopUs;
            break;
        case Kind::Command:
            ++ideal.commands;
            ideal.commandUs += kCommandDelays * d;
            if (e.value == 8 && (previous == 9 || previous == 11))
                ideal.commandUs += Chip().bulkEraseMicroseconds;
            else if (e.value == 8 || e.value == 24)
                ideal.commandUs += CycleMicroseconds(e.value);
            previous = e.value;
            break;
        case Kind::DataIn:
            ideal.commandUs += kWordOutDelays * d;
            break;
        case Kind::DataOut:
            ideal.commandUs += kWordInDelays * d;
            break;
        default:
            break;
        }
    }
    return ideal;
}

// Every location loaded, erased and programmed with Begin Erase/Programming,
// then the address moved on (3 commands); with read-back, a second pass reads
// each one (2 commands). Load Configuration and three increments pass
// 0x2004..0x2006 in each pass.
struct Naive {
    double commandUs = 0;
    int commands = 0;
};

Naive NaiveLoop(int delay, bool readBack)
{
    const double d = delay > 9 ? delay : 0;
    const int locations = Chip().programWords + Chip().dataBytes + Chip().idWords + 1;
    const int passes = readBack ? 2 : 1;
    Naive naive;
    naive.commands = locations * (readBack ? 5 : 3) + passes * 4;
    naive.commandUs = locations * ((kCommandDelays + kWordOutDelays + kCommandDelays + kCommandDelays) * d + CycleMicroseconds(8)) +
                      passes * (kCommandDelays + kWordOutDelays + 3 * kCommandDelays) * d +
                      (readBack ? locations * (kCommandDelays + kWordInDelays + kCommandDelays) * d : 0);
    return naive;
}

std::string LoadAverage()
{
    std::ifstream in("/proc/loadavg");
    std::string one, five;
    in >> one >> five;
    return one + " " + five;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string program = argc > 1 ? argv[1] : PIC_PROG_BINARY;
    const fs::path dir = fs::temp_directory_path() / ("bench-pic-prog-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "image.hex") << WriteIntelHex(HexOfImage(Chip(), FullImage()));

    std::printf("pic-prog write, full PIC16F84A image, virtual programmer (load average %s, %u cores)\n",
                LoadAverage().c_str(), std::thread::hardware_concurrency());
    std::printf("D       read-back  measured   ideal      deviation  waiting    commands  naive loop:\n");
    std::printf("                                                   for a CPU            ideal      commands\n");
    for (const int delay : {200, 10}) {
        for (const bool readBack : {true, false}) {
            fs::remove(dir / "virtual-pic.hex");
            std::ofstream(dir / "Preferences.ini") << "ComPortName = VIRTUAL\nVantrel_Delay = " << delay << "\n";
            std::vector<std::string> args{"write", "image.hex"};
            if (!readBack)
                args.push_back("--no-verify");
            const Timing timing = Run(program, dir, args);
            const Ideal ideal = IdealOfRecord(sim::ReplayLineRecord(sim::ReadVcd((dir / "virtual-pic.vcd").string())), delay);
            const Naive naive = NaiveLoop(delay, readBack);
            const double idealSeconds = ideal.total() / 1e6;
            std::printf("%3d us  %-9s  %7.2f s  %7.2f s  %+6.2f %%   %7.2f s  %6d    %7.2f s  %6d\n", delay,
                        readBack ? "yes" : "no", timing.wall, idealSeconds,
                        100.0 * (timing.wall - idealSeconds) / idealSeconds, timing.cpuWait, ideal.commands,
                        (ideal.fixedUs + naive.commandUs) / 1e6, naive.commands);
        }
    }
    std::printf("load average afterwards %s\n", LoadAverage().c_str());
    fs::remove_all(dir);
    return 0;
}
