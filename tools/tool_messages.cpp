// Waits and start-up messages shared by every tool, including the one that
// drives the adapter through the shared library.
#include "close_on_signal.h"
#include "link_timing.h"
#include "message_box.h"
#include "serial_line.h"
#include "shown_name.h"
#include "tool_frame.h"

#include <cstdio>

void WaitMilliseconds(int ms)
{
    SleepMilliseconds(ms);
    EndIfSignalled();
}

void ReportPortNotOpened(const std::string& portName)
{
    const std::string shown = ShownName(portName);
    if (SerialLine_IsSystemConsole(portName.c_str()))
        std::fprintf(stderr,
                     "Порт %s не открыт: это системная консоль. Укажите другой порт в Preferences.ini строкой "
                     "ComPortName = (например, ttyUSB0).\n",
                     shown.c_str());
    ShowMessageBox("Ошибка", "Не удалось открыть порт " + shown, MessageBoxError);
}

void ReportProgrammerNotFound() { ShowMessageBox("Ошибка", "Не найден программатор", MessageBoxError); }
