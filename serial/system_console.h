// The machine's system console must never be taken as a port: putting it in
// raw mode, toggling its lines and sending a break into it would leave the
// console unusable (and on many machines ttyS0, what COM1 maps to, is it).
#pragma once

#include <string>
#include <string_view>
#include <vector>

// What /sys/class/tty/console/active says ("" when it cannot be read).
std::string ReadConsoleActiveList();

// /dev/console, /dev/tty, /dev/tty0 and /dev/NAME for every name in
// activeList (names separated by blanks or line feeds, as the kernel writes them).
std::vector<std::string> SystemConsolePaths(std::string_view activeList);

// True when path is one of consoles, by its name or as the same character
// device under another name (a link, a device node elsewhere). Says nothing:
// the programs tell their users how to name another port.
bool IsSystemConsole(const std::string& path, const std::vector<std::string>& consoles);
