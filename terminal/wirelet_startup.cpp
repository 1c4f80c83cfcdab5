#include "wirelet_startup.h"

#include "settings_file.h"
#include "terminal_window.h"

std::unique_ptr<TerminalWindow> StartTerminal(const SerialPortApi& api, const std::string& settingsPath)
{
    PortSettings settings;
    LoadSettings(settingsPath, settings);
    auto window = std::make_unique<TerminalWindow>(api, settings, settingsPath);
    window->Start();
    return window;
}
