// USB HID devices faked with umockdev for tests and benchmarks. The process
// must run under libumockdev-preload (LD_PRELOAD); hidapi then enumerates,
// opens and reads the fakes as if they were real hidraw nodes.
//
// One bus per process at a time. Reports are served one per read, in order;
// a read with nothing queued waits (poll wakes when a report is sent).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class FakeHidBus {
public:
    FakeHidBus();
    ~FakeHidBus();
    FakeHidBus(const FakeHidBus&) = delete;
    FakeHidBus& operator=(const FakeHidBus&) = delete;

    // True when the umockdev preload is active in this process.
    static bool Available();

    // Plugs in a device and returns its number. numberedReports gives the
    // device report id 1 in its descriptor.
    int Plug(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t release = 0x0100,
             bool numberedReports = false);
    int PlugThermometer() { return Plug(0xAAAA, 0xEF04); }

    // Removes the device; reads on its open descriptors fail with ENODEV.
    void Unplug(int device);
    // Plugs the same device in again under a new node.
    void Replug(int device);

    // Queues one input report as the device would send it (without the id
    // byte for unnumbered devices).
    void Send(int device, const std::vector<std::uint8_t>& report);

    // An unopenable device refuses the first ioctl of hidapi's open, as a
    // node without access rights would fail the open itself.
    void SetOpenable(int device, bool openable);

    std::string NodeOf(int device) const;

    // For benchmarks: the device's node becomes a FIFO that Send writes to,
    // so reads and polls on it are the kernel's own instead of round trips
    // through the preload. Its hidraw ioctls then fail unless another preload
    // answers them (bench/thermometer/hidraw_fifo_preload.c). No unplugging.
    void ServeThroughFifo(int device);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};
