// Apart from pty_pair.cpp: the kernel's termios2 header clashes with the C library's.
#include "pty_pair.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

int32_t TtyOutputSpeed(int fd)
{
    struct termios2 tio {};
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return -1;
    return static_cast<int32_t>(tio.c_ospeed);
}
