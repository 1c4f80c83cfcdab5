#include "ini_text.h"

#include <filesystem>
#include <fstream>
#include <system_error>

// The path is UTF-8; a plain narrow name would go through the ANSI code page.
// Only a regular file is read: a device or pipe under a settings file's name
// could otherwise keep the program waiting.
std::optional<std::string> ReadFileText(const std::string& path, std::size_t maxBytes)
{
    const std::filesystem::path name(std::u8string(path.begin(), path.end()));
    std::error_code error;
    if (!std::filesystem::is_regular_file(name, error))
        return std::nullopt;
    std::ifstream in(name, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text;
    char buffer[65536];
    while (text.size() < maxBytes && in.read(buffer, sizeof buffer).gcount() > 0)
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
    if (in.bad())
        return std::nullopt;
    if (text.size() > maxBytes)
        text.resize(maxBytes);
    return text;
}
