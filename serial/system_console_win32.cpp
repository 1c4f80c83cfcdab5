// Windows has no serial system console that COMn could name.
#include "serial_line.h"

int32_t SerialLine_IsSystemConsole(const char*) { return 0; }
