#include "port_devices.h"

#include "system_console.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <set>
#include <string_view>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The number after prefix in name (COM3 -> 3, ttyUSB10 -> 10); -1 when the
// rest of the name is not a plain decimal number.
long NumberAfter(std::string_view name, std::string_view prefix, bool ignoreCase)
{
    if (name.size() <= prefix.size())
        return -1;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const char c = ignoreCase ? static_cast<char>(name[i] | 0x20) : name[i];
        if (c != (ignoreCase ? static_cast<char>(prefix[i] | 0x20) : prefix[i]))
            return -1;
    }
    long number = -1;
    const char* last = name.data() + name.size();
    const auto [end, error] = std::from_chars(name.data() + prefix.size(), last, number);
    return error == std::errc() && end == last ? number : -1;
}

// Entries of folder whose names carry prefix and a number, by that number.
std::vector<std::string> NumberedEntries(const fs::path& folder, std::string_view prefix, bool ignoreCase)
{
    std::vector<std::pair<long, std::string>> found;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (const long number = NumberAfter(name, prefix, ignoreCase); number >= 0)
            found.emplace_back(number, it->path().string());
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> paths;
    for (auto& entry : found)
        paths.push_back(std::move(entry.second));
    return paths;
}

std::vector<std::string> SortedEntries(const fs::path& folder)
{
    std::vector<std::string> paths;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        paths.push_back(it->path().string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

// The 8250 driver makes ttyS0 to ttyS31 whether or not a UART answers at
// their addresses; the kernel's sysfs "type" of such a port is 0 (no UART).
// Devices without that attribute (USB adapters, pseudo-terminals) count.
bool IsPortWithoutUart(const fs::path& device, const fs::path& sysRoot)
{
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const fs::path type = sysRoot / "dev" / "char" /
                          (std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev))) / "type";
    std::ifstream file(type);
    int value = -1;
    return file >> value && value == 0;
}

}  // namespace

std::vector<std::string> ListSerialDevices(const std::string& devRoot, const std::string& sysRoot,
                                           const std::vector<std::string>& consoles)
{
    const fs::path root(devRoot);
    std::vector<std::string> candidates = NumberedEntries(root, "COM", true);
    for (std::vector<std::string> more :
         {SortedEntries(root / "serial" / "by-id"), NumberedEntries(root, "ttyUSB", false),
          NumberedEntries(root, "ttyACM", false), NumberedEntries(root, "ttyS", false)})
        candidates.insert(candidates.end(), more.begin(), more.end());

    std::vector<std::string> devices;
    std::set<std::string> seen;  // the devices themselves, links resolved
    for (const std::string& path : candidates) {
        if (path.find(':') != std::string::npos)
            continue;  // a by-id name may have one; the device comes again under its kernel name
        std::error_code error;
        const fs::path target = fs::canonical(path, error);
        if (error)
            continue;  // a link to nothing
        if (fs::is_directory(target, error) || !seen.insert(target.string()).second)
            continue;
        if (IsSystemConsole(path, consoles) || IsSystemConsole(target.string(), consoles) ||
            IsPortWithoutUart(target, sysRoot))
            continue;
        devices.push_back(path);
    }
    return devices;
}

std::optional<std::vector<std::string>> SerialDevicesOfThisMachine()
{
    return ListSerialDevices("/dev", "/sys", SystemConsolePaths(ReadConsoleActiveList()));
}
