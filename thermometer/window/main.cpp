// Ambrel, the thermometer monitor.
#include "ambrel_startup.h"
#include "ambrel_usage.h"
#include "ambrel_window.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstdlib>

namespace {

bool Named(const char* variable)
{
    const char* value = std::getenv(variable);
    return value && *value;
}

bool HeadlessPlatform()
{
    QString name = QGuiApplication::platformName();
    return name == "offscreen" || name == "minimal";
}

QByteArray DefaultPlatform()
{
    return Named("WAYLAND_DISPLAY") ? "wayland;xcb" : "xcb";
}

int NeedDisplay()
{
    std::fputs("Ambrel: для работы нужен графический дисплей (X11 или Wayland).\n", stderr);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (const int exitCode = AnswerArguments(argc, argv, kAmbrelUsage); exitCode >= 0)
        return exitCode;
    // Qt aborts when it cannot reach the display it was told to use, so fall
    // back to the offscreen platform and say so instead. An explicit offscreen
    // or minimal platform is a deliberate choice and runs.
    QByteArray requested = qgetenv("QT_QPA_PLATFORM");
    bool deliberatelyHeadless = requested.contains("offscreen") || requested.contains("minimal");
    if (requested.isEmpty() && !Named("DISPLAY") && !Named("WAYLAND_DISPLAY"))
        return NeedDisplay();
    if (!deliberatelyHeadless)
        qputenv("QT_QPA_PLATFORM", (requested.isEmpty() ? DefaultPlatform() : requested) + ";offscreen");

    QApplication app(argc, argv);
    if (!deliberatelyHeadless && HeadlessPlatform())
        return NeedDisplay();
    QApplication::setStyle("Fusion");
    QApplication::setWindowIcon(QIcon(":/ambrel/ambrel.png"));
    QGuiApplication::setDesktopFileName("ambrel");

    AmbrelServices services{SystemSpeech(), SystemAgent()};
    auto window = StartAmbrel(services);
    if (!window)
        return 0;
    app.exec();
    return 0;
}
