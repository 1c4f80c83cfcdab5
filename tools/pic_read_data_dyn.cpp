// pic-read-data-dyn: the data-memory reader driving the adapter only through
// the Vantrel_PIC library (Vantrel_PIC.dll, libVantrel_PIC.so), loaded at run
// time. Each export is looked up when it is called; one the library lacks is
// skipped and counts as returning 0.
#include "close_on_signal.h"
#include "message_box.h"
#include "programmer_settings.h"
#include "read_data_job.h"
#include "shared_library.h"
#include "vantrel_pic.h"

#include <string>

namespace {

// The adapter library's file name as the loader looks it up (set by the build).
constexpr const char* kVantrelLibraryFile = VANTREL_LIBRARY_FILE;

SharedLibrary* g_library = nullptr;
bool g_powerOn = false;

template <typename... Args>
int32_t CallExport(const char* name, Args... args)
{
    using Function = int32_t(VANTREL_CALL*)(Args...);
    void* address = FindExport(g_library, name);
    return address ? reinterpret_cast<Function>(address)(args...) : 0;
}

int32_t VANTREL_CALL StartStop(int32_t on)
{
    g_powerOn = (on & 0xFF) != 0;
    return CallExport("Vantrel_StartStop", on);
}
int32_t VANTREL_CALL OutByteCommand(int32_t command) { return CallExport("Vantrel_OutByteCommand", command); }
int32_t VANTREL_CALL InByteData() { return CallExport("Vantrel_InByteData"); }
int32_t VANTREL_CALL ClosePort() { return CallExport("CloseCom_Port"); }

void PowerOffAndClose()
{
    if (g_powerOn)
        StartStop(0);
    ClosePort();
}

void ReadThroughLibrary()
{
    std::optional<ProgrammerSettings> settings = ReadProgrammerSettings();
    if (!settings) {
        ShowMessageBox("Ошибка", "Файл Preferences.ini не найден", MessageBoxError);
        settings = ProgrammerSettings{};
    }
    if (const std::string warning = DelayRangeWarning(*settings); !warning.empty())
        ShowMessageBox("Предупреждение", warning, MessageBoxWarning);
    CallExport("Vantrel_Init", settings->delay, settings->dataOutInv, settings->dataInInv, settings->clockInv,
               settings->powerInv);
    CloseOnSignal(PowerOffAndClose);
    if (CallExport("OpenCom_Port", settings->portName.c_str()) == 0) {
        StopClosingOnSignal();
        ReportPortNotOpened(settings->portName);
        return;
    }
    if (CallExport("Vantrel_Test") == 0)
        ReportProgrammerNotFound();
    const ToolResult result = ReadDataMemory({StartStop, OutByteCommand, InByteData, ClosePort});
    StopClosingOnSignal();
    ShowMessageBox(result.caption, result.text, MessageBoxInformation);
}

}  // namespace

int main(int argc, char** argv)
{
    const ProgramUsage usage{"pic-read-data-dyn",
                             "читает первые десять байтов памяти данных PIC через библиотеку Vantrel_PIC",
                             kToolSettings};
    if (const int exitCode = AnswerArguments(argc, argv, usage); exitCode >= 0)
        return exitCode;
    KeepRunningWithClosedOutput();
    g_library = LoadSharedLibrary(kVantrelLibraryFile);
    if (!g_library) {
        ShowMessageBox("", std::string("Файл ") + kVantrelLibraryFile + " не найден!", MessageBoxError);
        return 0;
    }
    ReadThroughLibrary();
    FreeSharedLibrary(g_library);
    return 0;
}
