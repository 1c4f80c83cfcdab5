// Setting any bit rate on a Linux tty through the termios2 interface. Kept
// apart because the kernel's termios header clashes with the C library's.
#pragma once

#include <cstdint>

// Sets input and output speed of the open tty fd to baud bits per second.
bool SetArbitrarySpeed(int fd, int32_t baud);
