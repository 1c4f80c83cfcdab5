// Windows: the HID class support of "hid.dll" and the device-interface
// enumeration of "setupapi.dll", both loaded by name at start-up, and the
// device opened and read as a file.
#include "hid_backend.h"
#include "hid_windows_api.h"

#include <atomic>
#include <cstring>
#include <mutex>

// What the setup interface checks its callers' size fields against.
static_assert(sizeof(void*) == 8 || (sizeof(SP_DEVICE_INTERFACE_DATA) == 28 &&
                                     sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 5),
              "32-bit Windows expects these sizes");

struct HidBackendDevice {
    HANDLE file = INVALID_HANDLE_VALUE;
    HANDLE readDone = nullptr;  // event of the overlapped read
};

namespace {

HidWindowsApi g_api;
std::atomic<bool> g_loaded{false};
std::mutex g_loadMutex;

template <typename Fn>
bool Bind(HMODULE library, const char* name, Fn& slot)
{
    slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    return slot != nullptr;
}

bool BindSystemLibraries(HidWindowsApi& api)
{
    HMODULE hid = LoadLibraryA("hid.dll");
    HMODULE setup = LoadLibraryA("setupapi.dll");
    if (!hid || !setup)
        return false;
    return Bind(hid, "HidD_GetHidGuid", api.HidD_GetHidGuid) &&
           Bind(hid, "HidD_GetAttributes", api.HidD_GetAttributes) &&
           Bind(setup, "SetupDiGetClassDevsA", api.SetupDiGetClassDevsA) &&
           Bind(setup, "SetupDiEnumDeviceInterfaces", api.SetupDiEnumDeviceInterfaces) &&
           Bind(setup, "SetupDiGetDeviceInterfaceDetailA", api.SetupDiGetDeviceInterfaceDetailA) &&
           Bind(setup, "SetupDiDestroyDeviceInfoList", api.SetupDiDestroyDeviceInfoList);
}

bool Complete(const HidWindowsApi& api)
{
    return api.HidD_GetHidGuid && api.HidD_GetAttributes && api.SetupDiGetClassDevsA &&
           api.SetupDiEnumDeviceInterfaces && api.SetupDiGetDeviceInterfaceDetailA &&
           api.SetupDiDestroyDeviceInfoList;
}

// The device path of one interface: the detail is asked for its size first,
// then fetched into a buffer of that size (plus one, for a terminator).
bool InterfacePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& interfaceData, std::string& path)
{
    DWORD size = 0;
    g_api.SetupDiGetDeviceInterfaceDetailA(set, &interfaceData, nullptr, 0, &size, nullptr);
    if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A))
        return false;
    std::string buffer(size + 1, '\0');
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!g_api.SetupDiGetDeviceInterfaceDetailA(set, &interfaceData, detail, size, nullptr, nullptr))
        return false;
    path.assign(detail->DevicePath, strnlen(detail->DevicePath, size - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath)));
    return !path.empty();
}

// Ids of the device behind a path, read through a handle opened for queries
// only (no access rights), which even a device held by another program gives.
bool QueryIds(const std::string& path, HidCandidate& candidate)
{
    HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE || file == nullptr)
        return false;
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    bool read = g_api.HidD_GetAttributes(file, &attributes);
    CloseHandle(file);
    if (!read)
        return false;
    candidate.path = path;
    candidate.vendorId = attributes.VendorID;
    candidate.productId = attributes.ProductID;
    candidate.release = attributes.VersionNumber;
    return true;
}

}  // namespace

const int kHidBackendHandleClosed = ERROR_INVALID_HANDLE;

bool HidWindowsUseApi(const HidWindowsApi& api)
{
    std::lock_guard<std::mutex> lock(g_loadMutex);
    if (!Complete(api))
        return false;
    g_api = api;
    g_loaded.store(true, std::memory_order_release);
    return true;
}

bool HidBackendLoad()
{
    std::lock_guard<std::mutex> lock(g_loadMutex);
    if (g_loaded.load())
        return true;
    HidWindowsApi api;
    if (!BindSystemLibraries(api))
        return false;  // the libraries stay loaded; nothing is ever found
    g_api = api;
    g_loaded.store(true, std::memory_order_release);
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
    GUID hidClass;
    g_api.HidD_GetHidGuid(&hidClass);
    HDEVINFO set = g_api.SetupDiGetClassDevsA(&hidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE || set == nullptr)
        return list;
    for (DWORD index = 0; static_cast<int>(index) < maxCount; ++index) {
        SP_DEVICE_INTERFACE_DATA interfaceData{};
        interfaceData.cbSize = sizeof interfaceData;
        if (!g_api.SetupDiEnumDeviceInterfaces(set, nullptr, &hidClass, index, &interfaceData))
            break;
        HidCandidate candidate;
        std::string path;
        // A device that cannot be opened is passed over as if it were not there.
        if (InterfacePath(set, interfaceData, path) && QueryIds(path, candidate))
            list.push_back(candidate);
    }
    g_api.SetupDiDestroyDeviceInfoList(set);
    return list;
}

HidBackendDevice* HidBackendOpen(const std::string& path)
{
    if (!HidBackendLoaded() || path.empty())
        return nullptr;
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    // Overlapped, so that a read waiting for a report can give up after a
    // while and the handle can be closed under it.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              &inheritable, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (file == INVALID_HANDLE_VALUE || file == nullptr)
        return nullptr;
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!event) {
        CloseHandle(file);
        return nullptr;
    }
    return new HidBackendDevice{file, event};
}

// The device interface list is walked each time, as the system's own HID
// class support expects; there is no cheaper per-path test worth trusting.
bool HidBackendStillPresent(const std::string&, std::uint16_t, std::uint16_t)
{
    return false;
}

void HidBackendClose(HidBackendDevice* device)
{
    if (!device)
        return;
    CloseHandle(device->file);
    CloseHandle(device->readDone);
    delete device;
}

int HidBackendRead(HidBackendDevice* device, std::uint8_t* out, int outSize, int timeoutMs, int* error)
{
    // The HID class driver delivers one report per read of the report's
    // length; the bytes land here first so that out stays untouched unless a
    // report came.
    std::string report(static_cast<size_t>(outSize), '\0');
    OVERLAPPED overlapped{};
    overlapped.hEvent = device->readDone;
    ResetEvent(device->readDone);
    if (!ReadFile(device->file, report.data(), static_cast<DWORD>(outSize), nullptr, &overlapped)) {
        DWORD started = GetLastError();
        if (started != ERROR_IO_PENDING) {
            *error = static_cast<int>(started);
            return -1;
        }
        // The driver keeps reports that arrive while no read waits, so a
        // read given up here loses nothing. The read was started by this
        // thread, so CancelIo (which Windows XP has) reaches it.
        if (WaitForSingleObject(device->readDone, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0)
            CancelIo(device->file);
    }
    DWORD count = 0;
    if (!GetOverlappedResult(device->file, &overlapped, &count, TRUE)) {
        DWORD failed = GetLastError();
        if (failed == ERROR_OPERATION_ABORTED)
            return 0;
        *error = static_cast<int>(failed);
        return -1;
    }
    std::memcpy(out, report.data(), count);
    return static_cast<int>(count);
}
