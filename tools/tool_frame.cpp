#include "tool_frame.h"

#include "close_on_signal.h"
#include "link_state.h"
#include "message_box.h"
#include "programmer_settings.h"
#include "vantrel_pic.h"

namespace {

void PowerOffAndClose()
{
    if (CurrentLinkState().PowerOn)
        Vantrel_StartStop(0);
    CloseCom_Port();
}

}  // namespace

int RunTool(int argc, char** argv, const ProgramUsage& usage, ToolJob job)
{
    if (const int exitCode = AnswerArguments(argc, argv, usage); exitCode >= 0)
        return exitCode;
    KeepRunningWithClosedOutput();
    LoadProgrammerSettings();
    CloseOnSignal(PowerOffAndClose);
    if (OpenCom_Port(ProgrammerPortName().c_str()) == 0) {
        StopClosingOnSignal();
        ReportPortNotOpened(ProgrammerPortName());
        return 0;
    }
    if (Vantrel_Test() == 0)
        ReportProgrammerNotFound();
    const ToolResult result = job();
    StopClosingOnSignal();
    ShowMessageBox(result.caption, result.text, MessageBoxInformation);
    return 0;
}
