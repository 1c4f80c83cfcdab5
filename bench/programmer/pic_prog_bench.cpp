// pic-prog write of a full image (every program word, every data byte, the
// four identifier words, the configuration word) on the virtual programmer.
// The PIC16F84A at D = 200 us and D = 10 us, with and without read-back;
// then every other chip of pic-prog's table on its own virtual chip, at
// D = 10 us with read-back. Each run is printed beside its ideal: the
// prescribed waits and bit times of the commands it sent, counted from the
// line record the run left behind and the chip's table. Beside them, the
// ideal of a naive loop that programs every location with its own Begin
// Erase/Programming cycle. Goal: within 2 % of its own ideal.
//
// The bit timing is a busy wait: on a loaded machine the process is not
// running for part of each wait and the wall time grows. The time it spent
// runnable but waiting for a processor (its run-queue delay from
// /proc/PID/schedstat, read before it is reaped) is printed beside it; the
// figures mean something only when that stays near zero. On a machine shared
// with other work, run it in a session of its own with a raised autogroup
// priority (see the README).
//
//   bench_pic_prog [pic-prog binary [CHIP...]]    (CHIP...: only these chips)
#include "chip_image.h"
#include "chip_table.h"
#include "intel_hex.h"
#include "programming_wire.h"
#include "virtual_programmer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Kind = sim::ChipEvent::Kind;

// Code-like words everywhere, none of them the erased value; no protection.
ChipImage FullImage(const ChipInfo& chip)
{
    ChipImage image = EmptyImage(chip);
    uint32_t x = 12345;
    const auto next = [&x] { return x = x * 1103515245u + 12345u; };
    for (ImageCell& cell : image.program)
        cell = {static_cast<uint16_t>((next() >> 8) % 0x3FFF), true};
    for (ImageCell& cell : image.data)
        cell = {static_cast<uint16_t>((next() >> 8) % 0xFF), true};
    for (size_t i = 0; i < image.ids.size(); ++i)
        image.ids[i] = {static_cast<uint16_t>(i + 1), true};
    image.config = {static_cast<uint16_t>((chip.configMask & ~0xF) | 0x1), true};
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

uint32_t CycleMicroseconds(std::span<const ProgrammingCycle> cycles, uint32_t command)
{
    for (const ProgrammingCycle& cycle : cycles)
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

// The commands sent so far since the last entry, as far as the waits depend on them.
struct CommandContext {
    uint32_t previous = 0;
    uint32_t beforePrevious = 0;
    bool inConfigArea = false;
    bool dataLoaded = false;
};

// The wait the chip's table prescribes after the command.
uint32_t PrescribedWait(const ChipInfo& chip, uint32_t command, const CommandContext& at)
{
    const ChipCommands& c = chip.commands;
    if (c.chipErase != 0 && command == c.chipErase)
        return chip.bulkEraseMicroseconds;
    if (c.endProgramming != 0 && command == c.endProgramming)
        return chip.endProgrammingMicroseconds;
    const bool begin = command == c.beginEraseProgramming;
    if (begin && c.bulkEraseSetup1 != 0 && at.previous == c.bulkEraseSetup2 && at.beforePrevious == c.bulkEraseSetup1)
        return chip.bulkEraseMicroseconds;
    const bool bulk = command == c.bulkEraseProgram || command == c.bulkEraseData;
    const bool afterBulk = at.previous == c.bulkEraseProgram || at.previous == c.bulkEraseData;
    if (c.bulkEraseSelfTimed ? bulk : begin && afterBulk)
        return chip.bulkEraseMicroseconds;
    return CycleMicroseconds(at.inConfigArea ? chip.configCycles
                             : at.dataLoaded ? chip.dataCycles
                                             : chip.programCycles,
                             command);
}

// What the record shows the run sent, at the times prescribed for it.
Ideal IdealOfRecord(const ChipInfo& chip, const std::vector<sim::ChipEvent>& events, int delay)
{
    Ideal ideal;
    ideal.fixedUs = 40000;  // the presence test's four 10 ms sleeps
    const double d = delay > 9 ? delay : 0;
    CommandContext at;
    int powerOns = 0;
    for (const sim::ChipEvent& e : events) {
        switch (e.kind) {
        case Kind::PowerOn:
            ideal.fixedUs += kStartStopUs + kPowerSettleUs + (powerOns++ > 0 ? kPowerRestUs : 0);
            at = CommandContext{};
            break;
        case Kind::PowerOff:
            ideal.fixedUs += kStartStopUs;
            break;
        case Kind::Command:
            ++ideal.commands;
            ideal.commandUs += kCommandDelays * d + PrescribedWait(chip, e.value, at);
            at.inConfigArea = at.inConfigArea || e.value == chip.commands.loadConfiguration;
            if (e.value == chip.commands.loadProgram || e.value == chip.commands.loadData)
                at.dataLoaded = e.value == chip.commands.loadData;
            at.beforePrevious = at.previous;
            at.previous = e.value;
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

// Every location loaded, erased and programmed with Begin Erase/Programming
// (on the chips that write rows, their shortest cycle, ended as they need),
// then the address moved on (3 commands); with read-back, a second pass reads
// each one (2 commands). Load Configuration and three increments pass
// 0x2004..0x2006 in each pass.
struct Naive {
    double commandUs = 0;
    int commands = 0;
};

Naive NaiveLoop(const ChipInfo& chip, int delay, bool readBack)
{
    const double d = delay > 9 ? delay : 0;
    const uint8_t begin = chip.commands.beginEraseProgramming;
    const auto cycleTime = [&](std::span<const ProgrammingCycle> cycles, MemoryKind kind) {
        const uint32_t us = CycleMicroseconds(cycles, begin);
        if (us != 0)
            return static_cast<double>(us);
        const ProgrammingCycle shortest = ShortestCycle(chip, kind);
        return shortest.maxMicroseconds + (shortest.endCommand != 0 ? kCommandDelays * d + chip.endProgrammingMicroseconds : 0);
    };
    const std::pair<int, double> kinds[] = {
        {chip.programWords, cycleTime(chip.programCycles, MemoryKind::Program)},
        {chip.dataBytes, cycleTime(chip.dataCycles, MemoryKind::Data)},
        {chip.idWords + 1, cycleTime(chip.configCycles, MemoryKind::Configuration)},
    };
    const int passes = readBack ? 2 : 1;
    Naive naive;
    for (const auto& [locations, cycleUs] : kinds) {
        naive.commands += locations * (readBack ? 5 : 3);
        naive.commandUs += locations * ((kCommandDelays + kWordOutDelays + kCommandDelays + kCommandDelays) * d + cycleUs) +
                           (readBack ? locations * (kCommandDelays + kWordInDelays + kCommandDelays) * d : 0);
    }
    naive.commands += passes * 4;
    naive.commandUs += passes * (kCommandDelays + kWordOutDelays + 3 * kCommandDelays) * d;
    return naive;
}

std::string LoadAverage()
{
    std::ifstream in("/proc/loadavg");
    std::string one, five;
    in >> one >> five;
    return one + " " + five;
}

void RemoveVirtualChips(const fs::path& dir)
{
    for (const fs::directory_entry& entry : fs::directory_iterator(dir))
        if (entry.path().filename().string().starts_with("virtual-"))
            fs::remove(entry.path());
}

void RunAndPrint(const std::string& program, const fs::path& dir, const ChipInfo& chip, int delay, bool readBack)
{
    RemoveVirtualChips(dir);
    std::ofstream(dir / "image.hex") << WriteIntelHex(HexOfImage(chip, FullImage(chip)));
    std::ofstream(dir / "Preferences.ini") << "ComPortName = VIRTUAL-" << chip.name << "\nVantrel_Delay = " << delay
                                           << "\n";
    // Named on the command line: the chips without a device id are known only so.
    std::vector<std::string> args{"write", "image.hex", "--device", chip.name};
    if (!readBack)
        args.push_back("--no-verify");
    const Timing timing = Run(program, dir, args);
    const Ideal ideal =
        IdealOfRecord(chip, sim::ReplayLineRecord(sim::ReadVcd((dir / "virtual-pic.vcd").string())), delay);
    const Naive naive = NaiveLoop(chip, delay, readBack);
    const double idealSeconds = ideal.total() / 1e6;
    std::printf("%-10s  %3d us  %-9s  %7.2f s  %7.2f s  %+6.2f %%   %7.2f s  %6d    %7.2f s  %6d\n", chip.name, delay,
                readBack ? "yes" : "no", timing.wall, idealSeconds, 100.0 * (timing.wall - idealSeconds) / idealSeconds,
                timing.cpuWait, ideal.commands, (ideal.fixedUs + naive.commandUs) / 1e6, naive.commands);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string program = argc > 1 ? argv[1] : PIC_PROG_BINARY;
    const fs::path dir = fs::temp_directory_path() / ("bench-pic-prog-" + std::to_string(::getpid()));
    fs::create_directories(dir);

    std::printf("pic-prog write, full image, virtual programmer (load average %s, %u cores)\n", LoadAverage().c_str(),
                std::thread::hardware_concurrency());
    std::printf("chip        D       read-back  measured   ideal      deviation  waiting    commands  naive loop:\n");
    std::printf("                                                               for a CPU            ideal      commands\n");
    const auto chosen = [&](const ChipInfo& chip) {
        return argc <= 2 || std::any_of(argv + 2, argv + argc, [&](const char* name) { return &chip == ChipByName(name); });
    };
    const ChipInfo& first = KnownChips().front();
    for (const int delay : {200, 10})
        for (const bool readBack : {true, false})
            if (chosen(first))
                RunAndPrint(program, dir, first, delay, readBack);
    for (const ChipInfo& chip : KnownChips().subspan(1))
        if (chosen(chip))
            RunAndPrint(program, dir, chip, 10, true);
    std::printf("load average afterwards %s\n", LoadAverage().c_str());
    fs::remove_all(dir);
    return 0;
}
