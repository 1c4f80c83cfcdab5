// Cost of one line call on the virtual port. The host busy-waits a few
// microseconds between line changes, so a call must stay at a few hundred ns.
#include "virtual_programmer.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// The port keeps its chip file in the working directory: use a scratch one.
class ScratchDirectory {
public:
    ScratchDirectory() : previous_(std::filesystem::current_path())
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "sim-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
            std::filesystem::current_path(path_);
        }
    }
    ~ScratchDirectory()
    {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

// A clock pulse with the chip in programming mode: two clock edges through the
// model (shifting command bits in) and a CTS read, as Vantrel_DataIn does.
void BM_ClockPulseAndRead(benchmark::State& state)
{
    ScratchDirectory scratch;
    sim::VirtualPort* port = sim::OpenVirtualPort("VIRTUAL");
    if (port == nullptr) {
        state.SkipWithError("virtual port did not open");
        return;
    }
    sim::SetRts(port, false);
    sim::SetDtr(port, false);
    sim::SetBreak(port, true);
    for (auto _ : state) {
        sim::SetRts(port, true);
        sim::SetRts(port, false);
        benchmark::DoNotOptimize(sim::GetCts(port));
    }
    state.SetItemsProcessed(state.iterations() * 3);  // line calls
    sim::CloseVirtualPort(port);
}
BENCHMARK(BM_ClockPulseAndRead)->Iterations(200000);

// Reading an input alone: the presence test and the data-in loop poll it.
void BM_ReadDsr(benchmark::State& state)
{
    ScratchDirectory scratch;
    sim::VirtualPort* port = sim::OpenVirtualPort("VIRTUAL-EMPTY");
    if (port == nullptr) {
        state.SkipWithError("virtual port did not open");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(sim::GetDsr(port));
    sim::CloseVirtualPort(port);
}
BENCHMARK(BM_ReadDsr);

}  // namespace

BENCHMARK_MAIN();
