// Linked into every windowed program: the common controls of version 6,
// which the program's manifest asks for, are set up before main runs.
#include <windows.h>

#include <commctrl.h>

namespace {

struct CommonControlsAtStart {
    CommonControlsAtStart()
    {
        INITCOMMONCONTROLSEX controls {};
        controls.dwSize = sizeof controls;
        controls.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
        ::InitCommonControlsEx(&controls);
    }
};

const CommonControlsAtStart g_commonControls;

}  // namespace
