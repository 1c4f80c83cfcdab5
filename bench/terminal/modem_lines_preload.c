// Preload for the benchmark: a pseudo-terminal has no modem lines, so its
// TIOCMGET/TIOCMSET/TIOCMBIS/TIOCMBIC calls fail with ENOTTY and terminals that
// need them close the port. Where the real call fails, this answers them from
// one line model per process (DTR and RTS as set; CTS, DSR and DCD on), so both
// terminals keep a pty open the same way. TIOCMIWAIT, which a pty refuses too,
// waits as a UART driver does while the lines stay put: until a signal comes,
// then it fails with EINTR. Every other call goes through.
//
// With MODEM_LINES_TOGGLE_US set (the flooding benchmark), CTS instead toggles
// at every wait after that many microseconds (0: at once), as a busy line does;
// a negative value keeps the lines still. With MODEM_LINES_NO_WAIT set,
// TIOCMIWAIT fails as the pty makes it, as on a driver without the wait, and
// a toggling CTS follows the clock instead.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <signal.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <stdlib.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

static int g_lines = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR | TIOCM_CD;

static long ToggleMicroseconds(void);

// Without the wait nothing toggles CTS, so a busy line follows the clock:
// on for one gap, off for the next.
static int Lines(void)
{
    const long gap = ToggleMicroseconds();
    if (gap <= 0 || !getenv("MODEM_LINES_NO_WAIT"))
        return g_lines;
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long long us = now.tv_sec * 1000000LL + now.tv_nsec / 1000;
    return (g_lines & ~TIOCM_CTS) | ((us / gap) & 1 ? TIOCM_CTS : 0);
}

static int Model(unsigned long request, int* arg)
{
    const int outputs = TIOCM_DTR | TIOCM_RTS;
    switch (request) {
    case TIOCMGET: *arg = Lines(); return 0;
    case TIOCMSET: g_lines = (g_lines & ~outputs) | (*arg & outputs); return 0;
    case TIOCMBIS: g_lines |= *arg & outputs; return 0;
    case TIOCMBIC: g_lines &= ~(*arg & outputs); return 0;
    default: return -1;
    }
}

// The modelled lines never change, so only a signal ends the wait.
static int WaitForSignal(void)
{
    sigset_t mask;
    pthread_sigmask(SIG_BLOCK, NULL, &mask);
    sigsuspend(&mask);
    errno = EINTR;
    return -1;
}

// -1 when the lines stay put, else the gap between two toggles.
static long ToggleMicroseconds(void)
{
    static long gap = -2;
    if (gap == -2) {
        const char* text = getenv("MODEM_LINES_TOGGLE_US");
        gap = text && *text ? atol(text) : -1;
    }
    return gap;
}

static int Toggle(long gap)
{
    if (gap > 0)
        usleep((useconds_t)gap);
    __atomic_xor_fetch(&g_lines, TIOCM_CTS, __ATOMIC_RELAXED);
    return 0;
}

int ioctl(int fd, unsigned long request, ...)
{
    static int (*real)(int, unsigned long, void*);
    if (!real)
        real = (int (*)(int, unsigned long, void*))dlsym(RTLD_NEXT, "ioctl");
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    const int result = real(fd, request, arg);
    if (request == TIOCMIWAIT)
    {
        if (result != -1 || (errno != ENOTTY && errno != EINVAL) || getenv("MODEM_LINES_NO_WAIT"))
            return result;
        return ToggleMicroseconds() >= 0 ? Toggle(ToggleMicroseconds()) : WaitForSignal();
    }
    if (result == -1 && (errno == ENOTTY || errno == EINVAL) && arg && Model(request, (int*)arg) == 0) {
        errno = 0;
        return 0;
    }
    return result;
}
