// The fuzz target runs with message boxes off; reaching a box is a fault.
#include "automation_internal.h"

#include <cstdlib>

void ShowAutomationBoxOnGuiThread(void*, const char16_t*, const char16_t*)
{
    std::abort();
}
