#include "programming_job.h"

#include "vantrel_pic.h"

namespace {

constexpr int kIncrementAddress = 6;
constexpr int kBeginProgramming = 8;
constexpr int kProgrammingWaitMs = 20;

}  // namespace

ToolResult RunProgrammingJob(const ProgrammingJob& job)
{
    Vantrel_StartStop(1);
    WaitMilliseconds(job.firstWaitMs);

    // The erase is armed with all ones loaded, then started like a write.
    Vantrel_OutByteCommand(job.loadCommand);
    Vantrel_OutByteData(0x3FFF);
    Vantrel_OutByteCommand(job.eraseCommand);
    Vantrel_OutByteCommand(kBeginProgramming);
    WaitMilliseconds(kProgrammingWaitMs);

    // A power cycle brings the location counter back to 0.
    Vantrel_StartStop(0);
    WaitMilliseconds(200);
    Vantrel_StartStop(1);
    WaitMilliseconds(200);

    for (int32_t value = 1; value <= 10; ++value) {
        Vantrel_OutByteCommand(job.loadCommand);
        Vantrel_OutByteData(value);
        Vantrel_OutByteCommand(kBeginProgramming);
        WaitMilliseconds(kProgrammingWaitMs);
        Vantrel_OutByteCommand(kIncrementAddress);
    }
    WaitMilliseconds(100);
    Vantrel_StartStop(0);
    CloseCom_Port();
    return {job.caption, "Программирование завершено"};
}
