// Whether the environment names a display a window could go to.
#pragma once

// False on Qt's offscreen and minimal platforms and where neither an X nor a
// Wayland display is named (a session over SSH, a script, a service).
bool DisplayIsNamed();
