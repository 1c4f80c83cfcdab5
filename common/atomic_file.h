// Replacing a file so that readers see either the old or the new content,
// never a half-written one (a crash or a full disk leaves the old file).
#pragma once

#include <string>
#include <string_view>

// Writes content to a new file beside path, flushes it to the disk and
// renames it over path. Returns false (and leaves path untouched) on failure.
bool WriteFileAtomically(const std::string& path, std::string_view content);
