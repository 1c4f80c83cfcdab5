// Waits and start-up messages shared by every tool, including the one that
// drives the adapter through the shared library.
#include "link_timing.h"
#include "message_box.h"
#include "tool_frame.h"

void WaitMilliseconds(int ms) { SleepMilliseconds(ms); }

void ReportPortNotOpened(const std::string& portName)
{
    ShowMessageBox("Ошибка", "Не удалось открыть порт " + portName, MessageBoxError);
}

void ReportProgrammerNotFound() { ShowMessageBox("Ошибка", "Не найден программатор", MessageBoxError); }
