#include "display_environment.h"
#include "message_box.h"

#include <QApplication>
#include <QMessageBox>

#include <cstring>
#include <memory>

namespace {

enum class BoxTarget { Undecided, Screen, Terminal };
BoxTarget g_target = BoxTarget::Undecided;

// Program name and argument vector for a QApplication created here: Qt keeps
// references to both for the application's lifetime. The name stays empty:
// X11 windows without a title of their own are titled with it, and a box
// with an empty caption must show an empty title.
int g_argc = 1;
char g_programName[] = "";
char* g_argv[] = {g_programName, nullptr};

bool PlatformIsHeadless(const char* name)
{
    return std::strcmp(name, "offscreen") == 0 || std::strcmp(name, "minimal") == 0;
}

BoxTarget DecideTarget()
{
    if (qApp)
        return PlatformIsHeadless(qPrintable(QGuiApplication::platformName())) ? BoxTarget::Terminal
                                                                                : BoxTarget::Screen;
    // Qt aborts the process when it cannot connect to a display, so look
    // before creating the application.
    if (!DisplayIsNamed())
        return BoxTarget::Terminal;
    // A display is named; if it cannot be reached, fall back to offscreen
    // rather than aborting, and then print.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ? "xcb;offscreen" : "wayland;xcb;offscreen");
    static std::unique_ptr<QApplication> app(new QApplication(g_argc, g_argv));
    return PlatformIsHeadless(qPrintable(QGuiApplication::platformName())) ? BoxTarget::Terminal
                                                                            : BoxTarget::Screen;
}

}  // namespace

bool MessageBoxesGoToTerminal()
{
    if (g_target == BoxTarget::Undecided)
        g_target = DecideTarget();
    return g_target == BoxTarget::Terminal;
}

void ShowMessageBox(const std::string& caption, const std::string& text, int style)
{
    if (MessageBoxesGoToTerminal()) {
        PrintMessageBox(caption, text);
        return;
    }
    const QMessageBox::Icon icon = style == MessageBoxError     ? QMessageBox::Critical
                                   : style == MessageBoxWarning ? QMessageBox::Warning
                                                                : QMessageBox::Information;
    QMessageBox box(icon, QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok);
    box.exec();
}
