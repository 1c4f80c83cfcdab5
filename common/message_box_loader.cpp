// The message box for programs without Qt of their own: boxes are printed
// unless a display is named, and only then is the Qt module loaded.
#include "display_environment.h"
#include "message_box.h"
#include "message_box_plugin.h"
#include "shared_library.h"

namespace {

enum class BoxTarget { Undecided, Screen, Terminal };
BoxTarget g_target = BoxTarget::Undecided;
MessageBoxModuleEntry g_showOnScreen = nullptr;

BoxTarget DecideTarget()
{
    if (!DisplayIsNamed())
        return BoxTarget::Terminal;
    SharedLibrary* module = LoadSharedLibrary(kMessageBoxModuleFile);
    g_showOnScreen = reinterpret_cast<MessageBoxModuleEntry>(FindExport(module, kMessageBoxModuleEntry));
    return g_showOnScreen ? BoxTarget::Screen : BoxTarget::Terminal;
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
    // A named display that cannot be reached: print this box and the rest.
    if (!g_showOnScreen(caption.c_str(), text.c_str(), style)) {
        g_target = BoxTarget::Terminal;
        PrintMessageBox(caption, text);
    }
}
