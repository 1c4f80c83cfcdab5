// Preload for the idle benchmark: the faked thermometer's node is a FIFO, so
// reads and polls are native, but hidapi's open asks the node for its report
// descriptor through hidraw ioctls, which a FIFO refuses. Where the real call
// fails on a FIFO, this answers them as the thermometer would (one 2-byte
// input report, no report id). Goes before umockdev's preload in LD_PRELOAD.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <linux/hidraw.h>
#include <stdarg.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

static const unsigned char kDescriptor[] = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x09, 0x02, 0x15, 0x00,
                                            0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x02, 0x81, 0x02, 0xC0};

static int Answer(unsigned long request, void* arg)
{
    switch (request) {
    case HIDIOCGRDESCSIZE:
        *(int*)arg = (int)sizeof kDescriptor;
        return 0;
    case HIDIOCGRDESC: {
        struct hidraw_report_descriptor* descriptor = arg;
        descriptor->size = sizeof kDescriptor;
        memcpy(descriptor->value, kDescriptor, sizeof kDescriptor);
        return 0;
    }
    case HIDIOCGRAWINFO: {
        struct hidraw_devinfo* info = arg;
        info->bustype = 3;  // USB
        info->vendor = (__s16)0xAAAA;
        info->product = (__s16)0xEF04;
        return 0;
    }
    default:
        return -1;
    }
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
    struct stat node;
    if (result == -1 && (errno == ENOTTY || errno == EINVAL) && arg && fstat(fd, &node) == 0 &&
        S_ISFIFO(node.st_mode) && Answer(request, arg) == 0) {
        errno = 0;
        return 0;
    }
    return result;
}
