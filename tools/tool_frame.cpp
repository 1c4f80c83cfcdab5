#include "tool_frame.h"

#include "message_box.h"
#include "programmer_settings.h"
#include "vantrel_pic.h"

int RunTool(ToolJob job)
{
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
