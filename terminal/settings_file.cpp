#include "settings_file.h"

#include "atomic_file.h"
#include "cp1251.h"
#include "ini_text.h"

#include <filesystem>
#include <system_error>

namespace {

constexpr std::string_view kGroup = "Порт";

// Larger files are not settings we wrote; the start of one is still read.
constexpr std::size_t kReadLimit = 16u << 20;

struct StoredKey {
    const char* key;
    int32_t PortSettings::*field;
};

constexpr StoredKey kKeys[] = {
    {"Порт", &PortSettings::portIndex},
    {"Скорость", &PortSettings::baudIndex},
    {"Количество бит", &PortSettings::dataBitsIndex},
    {"Чётность", &PortSettings::parityIndex},
    {"Стоп Биты", &PortSettings::stopBitsIndex},
    {"Управление потоком", &PortSettings::flowControlIndex},
    {"Байт Xon", &PortSettings::xonByte},
    {"Байт Xoff", &PortSettings::xoffByte},
};

bool StartsWithUtf8Mark(std::string_view bytes) { return bytes.substr(0, 3) == "\xEF\xBB\xBF"; }

}  // namespace

std::string SettingsFileText(const PortSettings& settings)
{
    // Appended piece by piece: GCC 12 warns wrongly (-Wrestrict) about the
    // chained operator+ when it inlines them at -O3.
    std::string text;
    text.append("[").append(kGroup).append("]\r\n");
    for (const StoredKey& k : kKeys)
        text.append(k.key).append(" = ").append(std::to_string(settings.*k.field)).append("\r\n");
    return Utf8ToCp1251(text);
}

void ReadSettingsText(std::string_view fileBytes, PortSettings& settings)
{
    const std::string utf8 = StartsWithUtf8Mark(fileBytes) ? std::string(fileBytes) : Cp1251ToUtf8(fileBytes);
    const std::vector<IniEntry> entries = ParseIniText(utf8);
    const std::optional<int> group = FindIniGroup(entries, kGroup);
    const PortSettings defaults = DefaultPortSettings();
    for (const StoredKey& k : kKeys) {
        const IniEntry* entry = group ? FindIniEntry(entries, *group, k.key) : nullptr;
        settings.*k.field = entry ? IniLeadingInteger(entry->value) : defaults.*k.field;
    }
}

int32_t LoadSettings(const std::string& path, PortSettings& settings)
{
    const std::optional<std::string> bytes = path.empty() ? std::nullopt : ReadFileText(path, kReadLimit);
    if (bytes) {
        ReadSettingsText(*bytes, settings);
        return 1;
    }
    ReadSettingsText({}, settings);
    // Only a file that is really absent is created: one we could not read
    // may still hold someone's settings.
    // The path is UTF-8; a narrow path would be read in the ANSI code page
    // on Windows and miss an existing file under a Cyrillic user name.
    std::error_code error;
    const auto status = std::filesystem::symlink_status(std::u8string(path.begin(), path.end()), error);
    if (!path.empty() && status.type() == std::filesystem::file_type::not_found)
        SaveSettings(path, settings);
    return 0;
}

int32_t SaveSettings(const std::string& path, const PortSettings& settings)
{
    if (path.empty())
        return 0;
    return WriteFileAtomically(path, SettingsFileText(settings)) ? 1 : 0;
}
