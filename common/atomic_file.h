// Replacing a file so that readers see either the old or the new content,
// never a half-written one (a crash or a full disk leaves the old file).
#pragma once

#include <string>
#include <string_view>

// Writes content to a new file beside path, flushes it to the disk and
// renames it over path. A symbolic link is followed and its target replaced,
// so the link stays. An existing file keeps its permissions, with read and
// write for its owner added. Returns false (and leaves path untouched) on
// failure, and for a file its owner may read but not write.
bool WriteFileAtomically(const std::string& path, std::string_view content);
