// Where Wirelet.ini lives on POSIX systems: the XDG cache directory.
#include "settings_file.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

namespace {

std::string HomeDirectory()
{
    const char* home = std::getenv("HOME");
    if (home && *home)
        return home;
    const passwd* entry = ::getpwuid(::getuid());
    return entry && entry->pw_dir ? entry->pw_dir : "";
}

std::string CacheDirectory()
{
    // The XDG rules ignore a relative value.
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/')
        return cache;
    const std::string home = HomeDirectory();
    return home.empty() ? "" : home + "/.cache";
}

}  // namespace

std::string SettingsFilePath()
{
    const std::string directory = CacheDirectory();
    if (directory.empty())
        return "";
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    return directory + "/Wirelet.ini";
}
