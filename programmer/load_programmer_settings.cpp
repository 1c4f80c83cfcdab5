// The tools' start-up step: settings into the link state, with the message
// box when the file is missing.
#include "link_state.h"
#include "message_box.h"
#include "programmer_settings.h"
#include "vantrel_pic.h"

std::string& ProgrammerPortName()
{
    static std::string portName = "COM1";
    return portName;
}

void LoadProgrammerSettings()
{
    std::optional<ProgrammerSettings> settings = ReadProgrammerSettings();
    if (!settings) {
        ShowMessageBox("Ошибка", "Файл Preferences.ini не найден", MessageBoxError);
        settings = ProgrammerSettings{};
    }
    if (const std::string warning = DelayRangeWarning(*settings); !warning.empty())
        ShowMessageBox("Предупреждение", warning, MessageBoxWarning);
    Vantrel_Init(settings->delay, settings->dataOutInv, settings->dataInInv, settings->clockInv, settings->powerInv);
    ProgrammerPortName() = settings->portName;
}
