// The on-screen half of the message box, as a loadable module, so that
// programs which mostly print (the programmer tools) do not load Qt at start.
#pragma once

// File name of the module and name of its one export.
inline constexpr const char* kMessageBoxModuleFile = "libvantrel-message-box.so";
inline constexpr const char* kMessageBoxModuleEntry = "VantrelShowMessageBox";

// The export: shows the box and returns 1 once it is closed; returns 0 at
// once, showing nothing, when no display can be reached.
using MessageBoxModuleEntry = int (*)(const char* caption, const char* text, int style);
