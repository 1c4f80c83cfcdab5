#include "system_console.h"

#include "port_names.h"
#include "serial_line.h"

#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace {

bool SameCharacterDevice(const std::string& a, const std::string& b)
{
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && S_ISCHR(sa.st_mode) &&
           S_ISCHR(sb.st_mode) && sa.st_rdev == sb.st_rdev;
}

}  // namespace

std::string ReadConsoleActiveList()
{
    std::ifstream file("/sys/class/tty/console/active");
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<std::string> SystemConsolePaths(std::string_view activeList)
{
    std::vector<std::string> paths{"/dev/console", "/dev/tty", "/dev/tty0"};
    std::size_t at = 0;
    while (at < activeList.size()) {
        const std::size_t start = activeList.find_first_not_of(" \t\r\n", at);
        if (start == std::string_view::npos)
            break;
        const std::size_t end = std::min(activeList.find_first_of(" \t\r\n", start), activeList.size());
        const std::string_view name = activeList.substr(start, end - start);
        if (name.find('/') == std::string_view::npos && name != "." && name != "..")
            paths.push_back("/dev/" + std::string(name));
        at = end;
    }
    return paths;
}

bool IsSystemConsole(const std::string& path, const std::vector<std::string>& consoles)
{
    for (const std::string& console : consoles) {
        if (path == console || SameCharacterDevice(path, console))
            return true;
    }
    return false;
}

int32_t SerialLine_IsSystemConsole(const char* settings)
{
    if (!settings)
        return 0;
    const std::string path = DevicePathForPortName(PortNameOf(settings));
    return !path.empty() && IsSystemConsole(path, SystemConsolePaths(ReadConsoleActiveList())) ? 1 : 0;
}
