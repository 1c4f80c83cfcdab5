// Wirelet from start-up to a shown window, shared by the program and by the
// harnesses that run it with another port layer.
#pragma once

#include "port_api.h"
#include "program_arguments.h"

#include <memory>
#include <string>

class TerminalWindow;

// Loads the settings from settingsPath, builds the window, applies the
// settings (opening the port) and shows it with the monitor running.
std::unique_ptr<TerminalWindow> StartTerminal(const SerialPortApi& api, const std::string& settingsPath);

// What Wirelet says when given arguments it does not take.
inline constexpr ProgramUsage kWireletUsage{
    "Wirelet", "терминал последовательного порта: линии DTR, RTS, CTS, DSR, DCD, RI и обмен байтами",
    "файл Wirelet.ini в каталоге кэша пользователя, меняются кнопкой «Настроить порт»"};
