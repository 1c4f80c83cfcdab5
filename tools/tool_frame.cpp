#include "tool_frame.h"

#include "message_box.h"
#include "programmer_settings.h"
#include "vantrel_pic.h"

int RunTool(int argc, char** argv, const ProgramUsage& usage, ToolJob job)
{
    if (const int exitCode = AnswerArguments(argc, argv, usage); exitCode >= 0)
        return exitCode;
    KeepRunningWithClosedOutput();
    LoadProgrammerSettings();
    if (OpenCom_Port(ProgrammerPortName().c_str()) == 0) {
        ReportPortNotOpened(ProgrammerPortName());
        return 0;
    }
    if (Vantrel_Test() == 0)
        ReportProgrammerNotFound();
    const ToolResult result = job();
    ShowMessageBox(result.caption, result.text, MessageBoxInformation);
    return 0;
}
