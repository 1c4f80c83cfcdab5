// Wirelet, the serial-port test terminal.
#include "display_check.h"
#include "port_api.h"
#include "program_arguments.h"
#include "quit_on_signal.h"
#include "settings_file.h"
#include "terminal_window.h"
#include "wirelet_startup.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    if (const int exitCode = AnswerArguments(argc, argv, kWireletUsage); exitCode >= 0)
        return exitCode;
    const bool displayNamed = PreferDisplayPlatforms();
    std::unique_ptr<QApplication> app;
    if (displayNamed)
        app = std::make_unique<QApplication>(argc, argv);
    if (!app || !DisplayOpened()) {
        std::fputs("Wirelet: для работы нужен графический дисплей (X11 или Wayland).\n", stderr);
        return 0;
    }
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/wirelet/wirelet.xpm")));
    CatchQuitSignals();
    std::unique_ptr<TerminalWindow> window = StartTerminal(SystemSerialPortApi(), SettingsFilePath());
    CloseWindowOnSignal(window.get());
    app->exec();
    window.reset();
    EndIfClosedBySignal();
    return 0;
}
