// The module the programmer tools load when a box has to go on a screen.
#include "message_box.h"
#include "message_box_plugin.h"

extern "C" __attribute__((visibility("default"))) int VantrelShowMessageBox(const char* caption, const char* text,
                                                                            int style)
{
    if (MessageBoxesGoToTerminal())
        return 0;
    ShowMessageBox(caption ? caption : "", text ? text : "", style);
    return 1;
}
