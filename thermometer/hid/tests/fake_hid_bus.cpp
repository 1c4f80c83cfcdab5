#include "fake_hid_bus.h"

#include <umockdev.h>

#include <fcntl.h>
#include <linux/hidraw.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <stdexcept>

namespace {

// Vendor page, one application collection with a 2-byte input report.
const std::vector<std::uint8_t> kDescriptor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x09, 0x02, 0x15, 0x00,
                                               0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x02, 0x81, 0x02, 0xC0};
// The same with report id 1 declared inside the collection.
const std::vector<std::uint8_t> kNumberedDescriptor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x01, 0x09,
                                                       0x02, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x02,
                                                       0x81, 0x02, 0xC0};

std::string Hex(const std::vector<std::uint8_t>& bytes)
{
    std::string s;
    char two[3];
    for (std::uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02X", b);
        s += two;
    }
    return s;
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...)
{
    char text[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

}  // namespace

struct FakeDevice {
    std::uint16_t vendorId = 0, productId = 0, release = 0;
    bool numbered = false;
    int usbNumber = 0;  // 1-K on the bus, also the hid instance number
    int node = 0;       // hidrawN
    std::vector<std::string> syspaths;  // parents first
    UMockdevIoctlBase* handler = nullptr;
    int master = -1;  // pty master behind the node: a byte here makes poll() wake
    int slave = -1;   // our own end of the node, to take those bytes back
    int fifo = -1;    // with ServeThroughFifo: the node itself, written to

    std::mutex mutex;
    std::deque<std::vector<std::uint8_t>> reports;
    std::deque<UMockdevIoctlClient*> parked;
    bool unplugged = false;
    bool openable = true;
};

struct FakeHidBus::Impl {
    UMockdevTestbed* testbed = nullptr;
    std::map<int, std::unique_ptr<FakeDevice>> devices;
    std::vector<std::unique_ptr<FakeDevice>> retired;  // unplugged, handler still answers
    int nextDevice = 1;
    int nextUsb = 1;
    int nextNode = 0;

    void Add(FakeDevice& d);
    void Remove(FakeDevice& d);
};

namespace {

void Complete(UMockdevIoctlClient* client, long result, int error)
{
    umockdev_ioctl_client_complete(client, result, error);
}

template <typename T>
void Answer(UMockdevIoctlClient* client, const T& value)
{
    GError* error = nullptr;
    UMockdevIoctlData* target = umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(T), &error);
    if (!target) {
        g_clear_error(&error);
        Complete(client, -1, EFAULT);
        return;
    }
    umockdev_ioctl_data_update(target, 0, reinterpret_cast<guint8*>(const_cast<T*>(&value)), sizeof(T));
    Complete(client, 0, 0);
}

gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data)
{
    auto* d = static_cast<FakeDevice*>(data);
    const auto& desc = d->numbered ? kNumberedDescriptor : kDescriptor;
    bool gone, openable;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        gone = d->unplugged;
        openable = d->openable;
    }
    unsigned long request = umockdev_ioctl_client_get_request(client);
    if (gone) {
        Complete(client, -1, ENODEV);
    } else if (!openable && request == HIDIOCGRDESCSIZE) {
        Complete(client, -1, EACCES);
    } else if (request == HIDIOCGRDESCSIZE) {
        Answer(client, static_cast<int>(desc.size()));
    } else if (request == HIDIOCGRDESC) {
        hidraw_report_descriptor rd{};
        rd.size = static_cast<__u32>(desc.size());
        std::memcpy(rd.value, desc.data(), desc.size());
        Answer(client, rd);
    } else if (request == HIDIOCGRAWINFO) {
        hidraw_devinfo info{};
        info.bustype = 3;  // BUS_USB
        info.vendor = static_cast<__s16>(d->vendorId);
        info.product = static_cast<__s16>(d->productId);
        Answer(client, info);
    } else {
        Complete(client, -1, ENOTTY);
    }
    return TRUE;
}

// Hands the oldest report to a waiting read, cut to the read's size.
// Called with the device's mutex held.
void Serve(FakeDevice* d, UMockdevIoctlClient* client)
{
    std::vector<std::uint8_t> report = d->reports.front();
    d->reports.pop_front();
    char wake;
    if (syscall(SYS_read, d->slave, &wake, 1) != 1)
        std::fprintf(stderr, "fake hid: wake byte missing\n");
    UMockdevIoctlData* buffer = umockdev_ioctl_client_get_arg(client);
    guint8* room = nullptr;
    gint roomSize = 0;
    umockdev_ioctl_data_retrieve(buffer, &room, &roomSize);  // hands out a copy
    g_free(room);
    gint n = std::min<gint>(roomSize, static_cast<gint>(report.size()));
    umockdev_ioctl_data_update(buffer, 0, report.data(), n);
    Complete(client, n, 0);
}

gboolean OnRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data)
{
    auto* d = static_cast<FakeDevice*>(data);
    std::lock_guard<std::mutex> lock(d->mutex);
    if (d->unplugged)
        Complete(client, -1, ENODEV);
    else if (!d->reports.empty())
        Serve(d, client);
    else
        d->parked.push_back(static_cast<UMockdevIoctlClient*>(g_object_ref(client)));
    return TRUE;
}

gboolean OnWrite(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer)
{
    Complete(client, -1, EPIPE);
    return TRUE;
}

void Wake(FakeDevice& d)
{
    char byte = 'r';
    if (write(d.master, &byte, 1) != 1)
        std::fprintf(stderr, "fake hid: cannot wake readers: %s\n", std::strerror(errno));
}

}  // namespace

void FakeHidBus::Impl::Add(FakeDevice& d)
{
    d.node = nextNode++;
    // Zero-padded so that the system's order (sorted paths) is plugging order.
    std::string usb = Format("/devices/pci0000:00/0000:00:14.0/usb1/1-%03d", d.usbNumber);
    std::string iface = usb + Format("/1-%03d:1.0", d.usbNumber);
    std::string hid = iface + Format("/0003:%04X:%04X.%04X", d.vendorId, d.productId, d.usbNumber);
    std::string raw = hid + Format("/hidraw/hidraw%d", d.node);
    std::vector<std::string> texts = {
        Format("P: %s\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\nA: idVendor=%04x\nA: idProduct=%04x\n"
               "A: bcdDevice=%04x\nA: manufacturer=Bench\nA: product=Fake HID\nA: busnum=1\nA: devnum=%d\n",
               usb.c_str(), d.vendorId, d.productId, d.release, d.usbNumber),
        Format("P: %s\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\nE: DRIVER=usbhid\nA: bInterfaceNumber=00\n"
               "A: bInterfaceClass=03\n",
               iface.c_str()),
        Format("P: %s\nE: SUBSYSTEM=hid\nE: DRIVER=hid-generic\nE: HID_ID=0003:0000%04X:0000%04X\n"
               "E: HID_NAME=Bench Fake HID\nE: HID_PHYS=usb-0000:00:14.0-%d/input0\nE: HID_UNIQ=\n"
               "H: report_descriptor=%s\n",
               hid.c_str(), d.vendorId, d.productId, d.usbNumber, Hex(d.numbered ? kNumberedDescriptor : kDescriptor).c_str()),
        Format("P: %s\nE: SUBSYSTEM=hidraw\nE: DEVNAME=/dev/hidraw%d\nE: MAJOR=240\nE: MINOR=%d\nA: dev=240:%d\n"
               "L: device=../../../0003:%04X:%04X.%04X\nN: hidraw%d\n",
               raw.c_str(), d.node, d.node, d.node, d.vendorId, d.productId, d.usbNumber, d.node),
    };
    d.syspaths.clear();
    for (const std::string& text : texts) {
        GError* error = nullptr;
        if (!umockdev_testbed_add_from_string(testbed, text.c_str(), &error))
            throw std::runtime_error(std::string("umockdev: ") + (error ? error->message : "add failed"));
        d.syspaths.push_back("/sys" + text.substr(3, text.find('\n') - 3));
    }
    std::string devnode = Format("/dev/hidraw%d", d.node);
    d.handler = umockdev_ioctl_base_new();
    g_signal_connect(d.handler, "handle-ioctl", G_CALLBACK(OnIoctl), &d);
    g_signal_connect(d.handler, "handle-read", G_CALLBACK(OnRead), &d);
    g_signal_connect(d.handler, "handle-write", G_CALLBACK(OnWrite), &d);
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(testbed, devnode.c_str(), d.handler, &error))
        throw std::runtime_error(std::string("umockdev attach: ") + (error ? error->message : "failed"));
    d.master = umockdev_testbed_get_dev_fd(testbed, devnode.c_str());
    char* slaveName = d.master >= 0 ? ptsname(d.master) : nullptr;
    // Raw system calls: the preload must not treat our end as the device.
    d.slave = slaveName ? static_cast<int>(syscall(SYS_openat, AT_FDCWD, slaveName, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) : -1;
    if (d.slave < 0)
        throw std::runtime_error("umockdev: no pty behind " + devnode);
    termios mode{};
    tcgetattr(d.slave, &mode);
    cfmakeraw(&mode);
    tcsetattr(d.slave, TCSANOW, &mode);
}

void FakeHidBus::Impl::Remove(FakeDevice& d)
{
    {
        std::lock_guard<std::mutex> lock(d.mutex);
        d.unplugged = true;
        for (UMockdevIoctlClient* client : d.parked) {
            Complete(client, -1, ENODEV);
            g_object_unref(client);
        }
        d.parked.clear();
        d.reports.clear();
    }
    Wake(d);  // pollers see data, read, and get ENODEV
    for (auto it = d.syspaths.rbegin(); it != d.syspaths.rend(); ++it)
        umockdev_testbed_remove_device(testbed, it->c_str());
}

FakeHidBus::FakeHidBus() : impl_(new Impl)
{
    impl_->testbed = umockdev_testbed_new();
}

FakeHidBus::~FakeHidBus()
{
    for (auto& [number, d] : impl_->devices)
        if (!d->unplugged)
            impl_->Remove(*d);
    auto release = [this](FakeDevice& d) {
        if (d.fifo >= 0)
            close(d.fifo);
        else
            umockdev_testbed_detach_ioctl(impl_->testbed, Format("/dev/hidraw%d", d.node).c_str(), nullptr);
        g_object_unref(d.handler);
        if (d.slave >= 0)
            close(d.slave);
    };
    for (auto& [number, d] : impl_->devices)
        release(*d);
    for (auto& d : impl_->retired)
        release(*d);
    g_object_unref(impl_->testbed);
}

bool FakeHidBus::Available()
{
    // umockdev_in_mock_environment() is true only once a testbed exists.
    const char* preload = std::getenv("LD_PRELOAD");
    return preload && std::strstr(preload, "libumockdev-preload");
}

int FakeHidBus::Plug(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t release, bool numberedReports)
{
    auto d = std::make_unique<FakeDevice>();
    d->vendorId = vendorId;
    d->productId = productId;
    d->release = release;
    d->numbered = numberedReports;
    d->usbNumber = impl_->nextUsb++;
    impl_->Add(*d);
    int number = impl_->nextDevice++;
    impl_->devices[number] = std::move(d);
    return number;
}

void FakeHidBus::Unplug(int device)
{
    FakeDevice& d = *impl_->devices.at(device);
    if (!d.unplugged)
        impl_->Remove(d);
}

void FakeHidBus::Replug(int device)
{
    auto& slot = impl_->devices.at(device);
    Unplug(device);
    auto fresh = std::make_unique<FakeDevice>();
    fresh->vendorId = slot->vendorId;
    fresh->productId = slot->productId;
    fresh->release = slot->release;
    fresh->numbered = slot->numbered;
    fresh->usbNumber = impl_->nextUsb++;
    // Re-adding a node name asserts in umockdev, so the device comes back
    // under the next hidraw number, as the kernel would also do.
    impl_->retired.push_back(std::move(slot));
    impl_->Add(*fresh);
    slot = std::move(fresh);
}

void FakeHidBus::Send(int device, const std::vector<std::uint8_t>& report)
{
    FakeDevice& d = *impl_->devices.at(device);
    std::lock_guard<std::mutex> lock(d.mutex);
    if (d.unplugged)
        return;
    if (d.fifo >= 0) {
        // One write per report: the reader's read takes it whole.
        if (syscall(SYS_write, d.fifo, report.data(), report.size()) < 0)
            throw std::runtime_error("fake HID: FIFO full");
        return;
    }
    d.reports.push_back(report);
    Wake(d);
    if (!d.parked.empty()) {
        UMockdevIoctlClient* client = d.parked.front();
        d.parked.pop_front();
        Serve(&d, client);
        g_object_unref(client);
    }
}

void FakeHidBus::SetOpenable(int device, bool openable)
{
    FakeDevice& d = *impl_->devices.at(device);
    std::lock_guard<std::mutex> lock(d.mutex);
    d.openable = openable;
}

std::string FakeHidBus::NodeOf(int device) const
{
    return Format("/dev/hidraw%d", impl_->devices.at(device)->node);
}

void FakeHidBus::ServeThroughFifo(int device)
{
    FakeDevice& d = *impl_->devices.at(device);
    const std::string node = NodeOf(device);
    umockdev_testbed_detach_ioctl(impl_->testbed, node.c_str(), nullptr);
    const std::string file = std::string(umockdev_testbed_get_root_dir(impl_->testbed)) + node;
    // Raw system calls: the preload must not redirect our own end.
    syscall(SYS_unlinkat, AT_FDCWD, file.c_str(), 0);
    if (syscall(SYS_mknodat, AT_FDCWD, file.c_str(), S_IFIFO | 0666, 0) != 0)
        throw std::runtime_error("fake HID: no FIFO at " + file);
    // Read and write, so the FIFO never reports an end while Ambrel reopens it.
    d.fifo = static_cast<int>(syscall(SYS_openat, AT_FDCWD, file.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (d.fifo < 0)
        throw std::runtime_error("fake HID: cannot open " + file);
}
