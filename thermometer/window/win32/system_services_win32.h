// The system's speech output (Speech API 5 and 4) and Microsoft Agent.
#pragma once

#include "ambrel_win32.h"

AmbrelWin32Services SystemServices();
