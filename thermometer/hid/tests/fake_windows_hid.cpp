// The fake tells its pipes apart by name, with a Vista call: it runs only
// in the tests under Wine, never on the XP systems the programs serve.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600

#include "fake_windows_hid.h"

#include "hid_windows_api.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

// The class GUID hid.dll reports for HID interfaces.
constexpr GUID kHidClass{0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

struct Device {
    std::string pipeName;  // also the device path
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t version = 0;
    bool plugged = true;
    bool openable = true;
    std::vector<HANDLE> instances;  // server ends, one per client open
};

struct DeviceSet {
    std::vector<std::string> paths;
};

bool SameGuid(const GUID& a, const GUID& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

struct FakeWindowsHid::Impl {
    std::mutex mutex;
    std::vector<Device> devices;
    int openSets = 0;
    int highestIndex = -1;
    bool wellFormed = true;

    // A client open takes one listening instance, so every search gets fresh
    // ones: at most two opens (query, then read/write) per device and search.
    void AddListeners(Device& device)
    {
        for (int i = 0; i < 2; ++i) {
            HANDLE pipe = CreateNamedPipeA(device.pipeName.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                           PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE, PIPE_UNLIMITED_INSTANCES,
                                           256, 256, 0, nullptr);
            if (pipe != INVALID_HANDLE_VALUE)
                device.instances.push_back(pipe);
        }
    }

    static void Disconnect(Device& device)
    {
        for (HANDLE pipe : device.instances) {
            DisconnectNamedPipe(pipe);
            CloseHandle(pipe);
        }
        device.instances.clear();
    }

    const Device* ByHandle(HANDLE file)
    {
        alignas(FILE_NAME_INFO) char buffer[1024];
        if (!GetFileInformationByHandleEx(file, FileNameInfo, buffer, sizeof buffer - sizeof(WCHAR)))
            return nullptr;
        auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer);
        std::string name;
        for (DWORD i = 0; i < info->FileNameLength / sizeof(WCHAR); ++i)
            name += static_cast<char>(info->FileName[i]);
        for (const Device& device : devices)
            if (device.plugged && device.pipeName.size() > name.size() &&
                device.pipeName.compare(device.pipeName.size() - name.size(), name.size(), name) == 0)
                return &device;
        return nullptr;
    }
};

namespace {

FakeWindowsHid::Impl* g_fake = nullptr;

void WINAPI FakeGetHidGuid(GUID* guid)
{
    *guid = kHidClass;
}

BOOLEAN WINAPI FakeGetAttributes(HANDLE file, HIDD_ATTRIBUTES* attributes)
{
    std::lock_guard<std::mutex> lock(g_fake->mutex);
    const Device* device = g_fake->ByHandle(file);
    if (!device)
        return FALSE;
    attributes->Size = sizeof *attributes;
    attributes->VendorID = device->vendorId;
    attributes->ProductID = device->productId;
    attributes->VersionNumber = device->version;
    return TRUE;
}

HDEVINFO WINAPI FakeGetClassDevs(const GUID* classGuid, PCSTR enumerator, HWND parent, DWORD flags)
{
    std::lock_guard<std::mutex> lock(g_fake->mutex);
    if (!classGuid || !SameGuid(*classGuid, kHidClass) || enumerator || parent ||
        flags != (DIGCF_PRESENT | DIGCF_DEVICEINTERFACE))
        g_fake->wellFormed = false;
    auto* set = new DeviceSet;
    for (Device& device : g_fake->devices) {
        if (!device.plugged)
            continue;
        if (device.openable)
            g_fake->AddListeners(device);
        set->paths.push_back(device.pipeName);
    }
    ++g_fake->openSets;
    return reinterpret_cast<HDEVINFO>(set);
}

BOOL WINAPI FakeEnumInterfaces(HDEVINFO set, SP_DEVINFO_DATA* deviceInfo, const GUID* classGuid, DWORD index,
                               SP_DEVICE_INTERFACE_DATA* data)
{
    std::lock_guard<std::mutex> lock(g_fake->mutex);
    auto* devices = reinterpret_cast<DeviceSet*>(set);
    if (deviceInfo || !classGuid || !SameGuid(*classGuid, kHidClass) || data->cbSize != sizeof *data)
        g_fake->wellFormed = false;
    g_fake->highestIndex = std::max(g_fake->highestIndex, static_cast<int>(index));
    if (index >= devices->paths.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    data->InterfaceClassGuid = kHidClass;
    data->Flags = SPINT_ACTIVE;
    data->Reserved = index;
    return TRUE;
}

BOOL WINAPI FakeInterfaceDetail(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* data, SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail,
                                DWORD detailSize, DWORD* requiredSize, SP_DEVINFO_DATA*)
{
    std::lock_guard<std::mutex> lock(g_fake->mutex);
    const std::string& path = reinterpret_cast<DeviceSet*>(set)->paths.at(data->Reserved);
    DWORD needed = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1);
    if (requiredSize)
        *requiredSize = needed;
    if (!detail || detailSize < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (detail->cbSize != sizeof *detail) {
        g_fake->wellFormed = false;
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    std::memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
    return TRUE;
}

BOOL WINAPI FakeDestroySet(HDEVINFO set)
{
    std::lock_guard<std::mutex> lock(g_fake->mutex);
    delete reinterpret_cast<DeviceSet*>(set);
    --g_fake->openSets;
    return TRUE;
}

}  // namespace

FakeWindowsHid::FakeWindowsHid() : impl_(std::make_unique<Impl>())
{
    g_fake = impl_.get();
    HidWindowsApi api;
    api.HidD_GetHidGuid = FakeGetHidGuid;
    api.HidD_GetAttributes = FakeGetAttributes;
    api.SetupDiGetClassDevsA = FakeGetClassDevs;
    api.SetupDiEnumDeviceInterfaces = FakeEnumInterfaces;
    api.SetupDiGetDeviceInterfaceDetailA = FakeInterfaceDetail;
    api.SetupDiDestroyDeviceInfoList = FakeDestroySet;
    HidWindowsUseApi(api);
}

FakeWindowsHid::~FakeWindowsHid()
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    for (Device& device : impl_->devices)
        Impl::Disconnect(device);
}

int FakeWindowsHid::Plug(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t version)
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    Device device;
    char name[96];
    std::snprintf(name, sizeof name, "\\\\.\\pipe\\ambrel-fake-hid-%lu-%zu", GetCurrentProcessId(),
                  impl_->devices.size());
    device.pipeName = name;
    device.vendorId = vendorId;
    device.productId = productId;
    device.version = version;
    impl_->devices.push_back(device);
    return static_cast<int>(impl_->devices.size() - 1);
}

int FakeWindowsHid::PlugUnopenable(std::uint16_t vendorId, std::uint16_t productId)
{
    int number = Plug(vendorId, productId);
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->devices[number].openable = false;  // no pipe listens under its name
    return number;
}

void FakeWindowsHid::Unplug(int device)
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->devices.at(device).plugged = false;
    Impl::Disconnect(impl_->devices.at(device));
}

void FakeWindowsHid::Send(int device, const std::vector<std::uint8_t>& report)
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    for (HANDLE pipe : impl_->devices.at(device).instances) {
        // Fails on instances nobody holds open; those need no report.
        OVERLAPPED overlapped{};
        overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        DWORD written = 0;
        if (WriteFile(pipe, report.data(), static_cast<DWORD>(report.size()), nullptr, &overlapped) ||
            GetLastError() == ERROR_IO_PENDING)
            GetOverlappedResult(pipe, &overlapped, &written, TRUE);
        CloseHandle(overlapped.hEvent);
    }
}

int FakeWindowsHid::OpenDeviceSets() const
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->openSets;
}

int FakeWindowsHid::HighestIndexAsked() const
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->highestIndex;
}

bool FakeWindowsHid::CallsWereWellFormed() const
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->wellFormed;
}
