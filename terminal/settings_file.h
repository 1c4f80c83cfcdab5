// Wirelet.ini: the eight stored settings under the group "Порт", in code
// page 1251 with CR LF line ends.
#pragma once

#include "port_settings.h"

#include <cstdint>
#include <string>
#include <string_view>

// The file's full content for the given values, in code page 1251.
std::string SettingsFileText(const PortSettings& settings);

// Reads the eight values from file bytes (code page 1251, or UTF-8 after a
// byte-order mark); every key or group that is missing gives its default.
void ReadSettingsText(std::string_view fileBytes, PortSettings& settings);

// Fills the eight values from the file at path. A file that does not exist
// is created with the defaults; one that exists but cannot be read is left
// alone. Returns 1 when the values came from the file, else 0.
int32_t LoadSettings(const std::string& path, PortSettings& settings);

// Replaces the file at path atomically. 1 on success, 0 on failure.
int32_t SaveSettings(const std::string& path, const PortSettings& settings);

// Full path of Wirelet.ini in the per-user cache directory, which is created
// when missing. "" when no home or cache directory can be found.
std::string SettingsFilePath();
