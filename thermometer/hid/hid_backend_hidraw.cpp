// Linux: hidapi's hidraw backend, loaded at run time like the HID libraries on
// Windows, so that a machine without it still runs (nothing is ever found).
#include "hid_backend.h"
#include "report_descriptor.h"

#include <hidapi.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

struct HidBackendDevice {
    hid_device* device = nullptr;
    // hidraw hands out reports of unnumbered devices without an id byte.
    bool numberedReports = false;
};

namespace {

struct HidApi {
    int (*init)() = nullptr;
    hid_device_info* (*enumerate)(unsigned short, unsigned short) = nullptr;
    void (*freeEnumeration)(hid_device_info*) = nullptr;
    hid_device* (*openPath)(const char*) = nullptr;
    int (*readTimeout)(hid_device*, unsigned char*, size_t, int) = nullptr;
    void (*close)(hid_device*) = nullptr;
};

HidApi g_api;
std::atomic<bool> g_loaded{false};
std::mutex g_loadMutex;

template <typename Fn>
bool Bind(void* library, const char* name, Fn& slot)
{
    slot = reinterpret_cast<Fn>(dlsym(library, name));
    return slot != nullptr;
}

bool BindAll(void* library)
{
    return Bind(library, "hid_init", g_api.init) && Bind(library, "hid_enumerate", g_api.enumerate) &&
           Bind(library, "hid_free_enumeration", g_api.freeEnumeration) &&
           Bind(library, "hid_open_path", g_api.openPath) &&
           Bind(library, "hid_read_timeout", g_api.readTimeout) && Bind(library, "hid_close", g_api.close);
}

std::string ReadSmallFile(const std::string& path)
{
    std::string text;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    std::array<char, 1024> chunk;
    ssize_t n;
    while ((n = ::read(fd, chunk.data(), chunk.size())) > 0 && text.size() < 65536)
        text.append(chunk.data(), static_cast<size_t>(n));
    ::close(fd);
    return text;
}

std::string NodeName(const std::string& devicePath)
{
    auto slash = devicePath.rfind('/');
    return slash == std::string::npos ? devicePath : devicePath.substr(slash + 1);
}

// hidraw puts the id first only for a device that numbers its reports.
bool ReportsAreNumbered(const std::string& devicePath)
{
    return DescriptorHasReportIds(
        ReadSmallFile("/sys/class/hidraw/" + NodeName(devicePath) + "/device/report_descriptor"));
}

// hidapi 0.13 leaks its error text each time hid_open_path fails, and a
// thermometer that udev has not yet opened to the user fails every retry.
// Its own checks (open, then a hidraw ioctl) are made here first instead.
bool HidrawNodeUsable(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    int size = 0;
    bool usable = ::ioctl(fd, HIDIOCGRDESCSIZE, &size) >= 0;
    ::close(fd);
    return usable;
}

}  // namespace

const int kHidBackendHandleClosed = EBADF;

bool HidBackendLoad()
{
    std::lock_guard<std::mutex> lock(g_loadMutex);
    if (g_loaded.load())
        return true;
    void* library = dlopen("libhidapi-hidraw.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return false;
    if (!BindAll(library) || g_api.init() != 0) {
        g_api = HidApi{};
        dlclose(library);
        return false;
    }
    g_loaded.store(true, std::memory_order_release);  // the library stays loaded for good
    return true;
}

bool HidBackendLoaded()
{
    return g_loaded.load(std::memory_order_acquire);
}

std::vector<HidCandidate> HidBackendEnumerate(int maxCount)
{
    std::vector<HidCandidate> list;
    if (!HidBackendLoaded())
        return list;
    hid_device_info* all = g_api.enumerate(0, 0);
    for (hid_device_info* d = all; d && static_cast<int>(list.size()) < maxCount; d = d->next)
        list.push_back({d->path ? d->path : "", d->vendor_id, d->product_id, d->release_number});
    g_api.freeEnumeration(all);
    return list;
}

bool HidBackendStillPresent(const std::string& path, std::uint16_t vendorId, std::uint16_t productId)
{
    // The HID device above the node says "HID_ID=bus:vendor:product" in hex.
    const std::string uevent = ReadSmallFile("/sys/class/hidraw/" + NodeName(path) + "/device/uevent");
    const std::size_t at = uevent.find("HID_ID=");
    unsigned bus = 0, vendor = 0, product = 0;
    if (at == std::string::npos || std::sscanf(uevent.c_str() + at, "HID_ID=%x:%x:%x", &bus, &vendor, &product) != 3)
        return false;
    return vendor == vendorId && product == productId;
}

HidBackendDevice* HidBackendOpen(const std::string& path)
{
    if (!HidBackendLoaded() || path.empty() || !HidrawNodeUsable(path))
        return nullptr;
    hid_device* device = g_api.openPath(path.c_str());
    if (!device)
        return nullptr;
    return new HidBackendDevice{device, ReportsAreNumbered(path)};
}

void HidBackendClose(HidBackendDevice* device)
{
    if (!device)
        return;
    g_api.close(device->device);
    delete device;
}

int HidBackendRead(HidBackendDevice* device, std::uint8_t* out, int outSize, int timeoutMs, int* error)
{
    // Largest report hidraw delivers, plus the id byte put in front.
    std::array<std::uint8_t, 4097> report{};
    std::uint8_t* target = device->numberedReports ? report.data() : report.data() + 1;
    // hidraw cuts a report to the read's length, so asking for no more than
    // is kept gives the same bytes and copies (and, under a preload, ships)
    // only those. At least one byte: a read of none would look like a time-out.
    const int wanted = device->numberedReports ? outSize : outSize - 1;
    const size_t count = static_cast<size_t>(std::clamp(wanted, 1, static_cast<int>(report.size()) - 1));
    errno = 0;
    int n = g_api.readTimeout(device->device, target, count, timeoutMs);
    if (n < 0) {
        *error = errno ? errno : EIO;
        return -1;
    }
    if (n == 0)
        return 0;
    int length = device->numberedReports ? n : n + 1;
    int stored = std::min(length, outSize);
    std::memcpy(out, report.data(), static_cast<size_t>(stored));
    return stored;
}
