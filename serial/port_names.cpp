#include "port_names.h"

#include <charconv>
#include <sys/stat.h>

namespace {

bool DeviceExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// COMn (any letter case) with n from 1 to 256 -> n; otherwise 0.
int ComPortNumber(std::string_view name)
{
    if (name.size() < 4 || (name[0] | 0x20) != 'c' || (name[1] | 0x20) != 'o' || (name[2] | 0x20) != 'm')
        return 0;
    int number = 0;
    const char* first = name.data() + 3;
    const char* last = name.data() + name.size();
    const auto [end, error] = std::from_chars(first, last, number);
    if (error != std::errc() || end != last || *first == '0' || number < 1 || number > 256)
        return 0;
    return number;
}

}  // namespace

std::string_view PortNameOf(std::string_view settings)
{
    return settings.substr(0, settings.find(':'));
}

std::string DevicePathForPortName(std::string_view name)
{
    if (name.empty() || name.size() > kMaxPortNameLength || name.find('\0') != std::string_view::npos)
        return {};
    if (name.find('/') != std::string_view::npos)
        return std::string(name);
    std::string devPath = "/dev/" + std::string(name);
    if (DeviceExists(devPath))
        return devPath;
    // The convention Wine uses: COM1 is the first ttyS.
    if (const int number = ComPortNumber(name))
        return "/dev/ttyS" + std::to_string(number - 1);
    return devPath;
}
