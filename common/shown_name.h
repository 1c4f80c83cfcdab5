// Names the user typed (port names, file names) shown in a message: cut to a
// readable length so that a runaway value cannot fill a box or a title.
#pragma once

#include <string>
#include <string_view>

inline constexpr std::size_t kShownNameCharacters = 64;

// name itself when it has at most kShownNameCharacters characters (UTF-8
// code points); else its first kShownNameCharacters - 1 characters and "…".
std::string ShownName(std::string_view name);
