#include "display_environment.h"

#include <cstdlib>
#include <cstring>

namespace {

bool Set(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}

}  // namespace

bool DisplayIsNamed()
{
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && (std::strcmp(platform, "offscreen") == 0 || std::strcmp(platform, "minimal") == 0))
        return false;
    return Set("DISPLAY") || Set("WAYLAND_DISPLAY");
}
