// How close the unit delay and a whole read job come to what they are asked for.
//
//   bench_programmer_delay
//
// Prints, for requested delays of 10, 50, 200 and 1000 us, the median and
// 99th percentile of the delay actually obtained (goal: median within 1 %),
// then a ten-word program-memory read through the virtual programmer beside
// its ideal time, the sum of the waits and bit times the protocol prescribes
// (goal: within 2 %).
#include "link_state.h"
#include "vantrel_pic.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

// What reading the clock around an empty interval costs, taken off each sample.
double ClockReadingCost()
{
    std::vector<double> empty;
    for (int i = 0; i < 10000; ++i) {
        const Clock::time_point start = Clock::now();
        empty.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    return Percentile(empty, 0.5);
}

void MeasureDelays()
{
    const double cost = ClockReadingCost();
    std::printf("DelayMicroseconds      median       p99   median error   (clock reading %.3f us taken off)\n", cost);
    for (int32_t requested : {10, 50, 200, 1000}) {
        std::vector<double> obtained;
        const int samples = requested >= 1000 ? 2000 : 10000;
        for (int i = 0; i < samples; ++i) {
            const Clock::time_point start = Clock::now();
            DelayMicroseconds(requested);
            obtained.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count() - cost);
        }
        const double median = Percentile(obtained, 0.5);
        std::printf("  %5d us         %8.2f us %8.2f us   %+6.2f %%\n", requested, median, Percentile(obtained, 0.99),
                    100.0 * (median - requested) / requested);
    }
}

void MeasureTenWordRead(int32_t delay)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("bench-read-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::current_path(dir);

    Vantrel_Init(delay, 0, 0, 0, 0);
    OpenCom_Port("VIRTUAL");
    const Clock::time_point start = Clock::now();
    Vantrel_StartStop(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    for (int i = 0; i < 10; ++i) {
        Vantrel_OutByteCommand(4);
        Vantrel_InByteData();
        Vantrel_OutByteCommand(6);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    Vantrel_StartStop(0);
    const double measured = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    CloseCom_Port();

    // 40 + 1000 + 100 + 40 ms of waits; per word 24 + 48 + 24 unit delays.
    const double ideal = 1180.0 + 10 * 96 * delay / 1000.0;
    std::printf("\nten-word read at D = %d us: %.1f ms, ideal %.1f ms, %+.2f %%\n", delay, measured, ideal,
                100.0 * (measured - ideal) / ideal);

    std::filesystem::current_path(home);
    std::filesystem::remove_all(dir);
}

}  // namespace

int main()
{
    MeasureDelays();
    MeasureTenWordRead(200);
    return 0;
}
