// Waits and start-up messages shared by every tool, including the one that
// drives the adapter through the shared library.
#include "message_box.h"
#include "tool_frame.h"

#include <chrono>
#include <thread>

void WaitMilliseconds(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void ReportPortNotOpened(const std::string& portName)
{
    ShowMessageBox("Ошибка", "Не удалось открыть порт " + portName, MessageBoxError);
}

void ReportProgrammerNotFound() { ShowMessageBox("Ошибка", "Не найден программатор", MessageBoxError); }
