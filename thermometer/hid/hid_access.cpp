#include "hid_access.h"

#include "hid_backend.h"

#include <climits>
#include <map>
#include <mutex>
#include <string>

namespace {

constexpr int kMaxInterfaces = 256;
// A blocked read wakes this often to see whether its handle was closed.
constexpr int kReadSliceMs = 200;

struct OpenDevice {
    HidBackendDevice* device = nullptr;
    int readers = 0;       // reads currently inside the device
    bool closed = false;   // handle gone; the last reader releases the device
    std::string path;      // the system's name of the interface
};

// Open handles. A handle stays in the table while a reader is inside it, so
// closing never pulls the device from under a blocked read.
std::mutex g_tableMutex;
std::map<int, OpenDevice> g_table;
int g_lastHandle = 0;

int AddHandle(HidBackendDevice* device, const std::string& path)
{
    std::lock_guard<std::mutex> lock(g_tableMutex);
    do {
        g_lastHandle = g_lastHandle == INT_MAX ? 1 : g_lastHandle + 1;
    } while (g_table.count(g_lastHandle));
    g_table[g_lastHandle] = OpenDevice{device, 0, false, path};
    return g_lastHandle;
}

HidBackendDevice* EnterRead(int handle)
{
    std::lock_guard<std::mutex> lock(g_tableMutex);
    auto it = g_table.find(handle);
    if (it == g_table.end() || it->second.closed)
        return nullptr;
    ++it->second.readers;
    return it->second.device;
}

bool StillOpen(int handle)
{
    std::lock_guard<std::mutex> lock(g_tableMutex);
    auto it = g_table.find(handle);
    return it != g_table.end() && !it->second.closed;
}

// Takes the entry out when it is closed and nobody reads; returns the device
// to release (outside the lock), or nullptr.
HidBackendDevice* TakeIfIdle(std::map<int, OpenDevice>::iterator it)
{
    if (!it->second.closed || it->second.readers > 0)
        return nullptr;
    HidBackendDevice* device = it->second.device;
    g_table.erase(it);
    return device;
}

void LeaveRead(int handle)
{
    HidBackendDevice* release = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_tableMutex);
        auto it = g_table.find(handle);
        if (it == g_table.end())
            return;
        --it->second.readers;
        release = TakeIfIdle(it);
    }
    HidBackendClose(release);
}

bool Matches(const HidCandidate& c, int productId, int vendorId, int version)
{
    return c.productId == static_cast<std::uint16_t>(productId) &&
           c.vendorId == static_cast<std::uint16_t>(vendorId) &&
           (version == -1 || c.release == static_cast<std::uint16_t>(version));
}

// The shared search: walks the present interfaces and returns the handle of
// the matchIndex-th match (open = true) or 1 when it exists (open = false).
int Search(int productId, int vendorId, int version, int matchIndex, bool open)
{
    int matchCount = 0;
    for (const HidCandidate& c : HidBackendEnumerate(kMaxInterfaces)) {
        if (!Matches(c, productId, vendorId, version))
            continue;
        HidBackendDevice* device = nullptr;
        // Enumeration already proves presence; only an open needs the node.
        if (open && !(device = HidBackendOpen(c.path)))
            continue;
        if (matchCount == matchIndex)
            return open ? AddHandle(device, c.path) : 1;
        ++matchCount;
        HidBackendClose(device);
    }
    return 0;
}

// Waits in slices so that a close from another thread is noticed; the device
// stays open until this read has left it.
int ReadUntilReportOrClosed(int handle, HidBackendDevice* device, std::uint8_t* buffer, int length, int* error)
{
    for (;;) {
        int n = HidBackendRead(device, buffer, length, kReadSliceMs, error);
        if (n != 0)
            return n;
        if (!StillOpen(handle)) {
            *error = kHidBackendHandleClosed;
            return 0;
        }
    }
}

}  // namespace

int HidLoad()
{
    return HidBackendLoad() ? 1 : 0;
}

int HidDevicePresent(int productId, int vendorId)
{
    // Asked every few hundred milliseconds: while the interface found last
    // time is still there with these ids, the answer is known without walking
    // every HID interface of the system.
    static std::mutex mutex;
    static std::string lastFound;
    std::lock_guard<std::mutex> lock(mutex);
    const auto vendor = static_cast<std::uint16_t>(vendorId);
    const auto product = static_cast<std::uint16_t>(productId);
    if (!lastFound.empty() && HidBackendStillPresent(lastFound, vendor, product))
        return 1;
    lastFound.clear();
    for (const HidCandidate& c : HidBackendEnumerate(kMaxInterfaces)) {
        if (Matches(c, productId, vendorId, -1)) {
            lastFound = c.path;
            return 1;
        }
    }
    return 0;
}

int HidOpenDevice(int productId, int vendorId)
{
    return HidOpenDeviceEx(productId, vendorId, -1, 0);
}

int HidFindDevice(int productId, int vendorId, int version, int matchIndex)
{
    return Search(productId, vendorId, version, matchIndex, false);
}

int HidOpenDeviceEx(int productId, int vendorId, int version, int matchIndex)
{
    return Search(productId, vendorId, version, matchIndex, true);
}

int HidCloseDevice(int handle)
{
    if (handle == 0)
        return 0;
    HidBackendDevice* release = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_tableMutex);
        auto it = g_table.find(handle);
        if (it == g_table.end() || it->second.closed)
            return 0;
        it->second.closed = true;
        release = TakeIfIdle(it);
    }
    HidBackendClose(release);
    return 1;
}

int HidReadReport(int handle, std::uint8_t* buffer, int length)
{
    return HidReadReportEx(handle, buffer, length, nullptr);
}

int HidReadReportEx(int handle, std::uint8_t* buffer, int length, int* errorPlace)
{
    if (handle == 0 || !buffer || length <= 0)
        return 0;
    int error = kHidBackendHandleClosed;
    int n = 0;
    if (HidBackendDevice* device = EnterRead(handle)) {
        error = 0;
        n = ReadUntilReportOrClosed(handle, device, buffer, length, &error);
        LeaveRead(handle);
    }
    if (errorPlace)
        *errorPlace = n > 0 ? 0 : error;
    return n > 0 ? n : 0;
}

int HidReadWaitingReport(int handle, std::uint8_t* buffer, int length, int* errorPlace)
{
    if (handle == 0 || !buffer || length <= 0)
        return 0;
    int error = kHidBackendHandleClosed;
    int n = 0;
    if (HidBackendDevice* device = EnterRead(handle)) {
        error = 0;
        n = HidBackendRead(device, buffer, length, 0, &error);
        LeaveRead(handle);
    }
    if (errorPlace)
        *errorPlace = n > 0 ? 0 : error;
    return n > 0 ? n : 0;
}

std::string HidDevicePath(int handle)
{
    std::lock_guard<std::mutex> lock(g_tableMutex);
    auto it = g_table.find(handle);
    return it == g_table.end() || it->second.closed ? std::string() : it->second.path;
}
