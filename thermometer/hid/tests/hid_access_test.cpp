// The HID access against hidraw nodes faked by umockdev (run under its preload).
#include "fake_hid_bus.h"
#include "hid_access.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <future>
#include <vector>

namespace {

constexpr int kThermometerProduct = 0xEF04;
constexpr int kThermometerVendor = 0xAAAA;

using Report = std::array<std::uint8_t, 6>;

class HidAccess : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FakeHidBus::Available()) << "run under LD_PRELOAD=libumockdev-preload.so.0";
        ASSERT_EQ(HidLoad(), 1);
    }

    int OpenThermometer(int version = -1, int index = 0)
    {
        return HidOpenDeviceEx(kThermometerProduct, kThermometerVendor, version, index);
    }

    // Reads one 3-byte report from a handle on another thread.
    static std::future<std::pair<int, Report>> ReadAsync(int handle, int* error = nullptr)
    {
        return std::async(std::launch::async, [handle, error] {
            Report buffer{0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
            int n = HidReadReportEx(handle, buffer.data(), 3, error);
            return std::make_pair(n, buffer);
        });
    }

    FakeHidBus bus;
};

TEST_F(HidAccess, NothingPresentFindsAndOpensNothing)
{
    EXPECT_EQ(HidDevicePresent(kThermometerProduct, kThermometerVendor), 0);
    EXPECT_EQ(HidOpenDevice(kThermometerProduct, kThermometerVendor), 0);
    EXPECT_EQ(HidFindDevice(kThermometerProduct, kThermometerVendor, -1, 0), 0);
}

TEST_F(HidAccess, OneThermometerIsFoundOpenedAndClosedOnce)
{
    bus.PlugThermometer();
    EXPECT_EQ(HidDevicePresent(kThermometerProduct, kThermometerVendor), 1);
    EXPECT_EQ(HidFindDevice(kThermometerProduct, kThermometerVendor, -1, 1), 0) << "there is no second one";
    int handle = HidOpenDevice(kThermometerProduct, kThermometerVendor);
    ASSERT_GT(handle, 0);
    int second = HidOpenDevice(kThermometerProduct, kThermometerVendor);
    ASSERT_GT(second, 0);
    EXPECT_NE(second, handle);
    EXPECT_EQ(HidCloseDevice(handle), 1);
    EXPECT_EQ(HidCloseDevice(handle), 0) << "already closed";
    EXPECT_EQ(HidCloseDevice(0), 0);
    EXPECT_EQ(HidCloseDevice(second), 1);
    int third = HidOpenDevice(kThermometerProduct, kThermometerVendor);
    EXPECT_NE(third, handle) << "handles are not reused";
    EXPECT_NE(third, second);
    HidCloseDevice(third);
}

TEST_F(HidAccess, IdsMustBothMatchAndProductComesFirst)
{
    bus.Plug(0xAAAA, 0xEF05);
    bus.Plug(0xAAAB, 0xEF04);
    EXPECT_EQ(HidDevicePresent(kThermometerProduct, kThermometerVendor), 0);
    EXPECT_EQ(HidOpenDevice(kThermometerProduct, kThermometerVendor), 0);
    EXPECT_EQ(HidDevicePresent(0xEF05, 0xAAAA), 1);
    EXPECT_EQ(HidDevicePresent(0xAAAA, 0xEF05), 0) << "vendor first finds nothing";
    // Only the low 16 bits of an id count.
    EXPECT_EQ(HidDevicePresent(0x1EF05, 0x2AAAA), 1);
}

TEST_F(HidAccess, VersionMinusOneMatchesAnyOtherwiseExactly)
{
    int older = bus.Plug(0xAAAA, 0xEF04, 0x0100);
    int newer = bus.Plug(0xAAAA, 0xEF04, 0x0200);
    EXPECT_EQ(HidFindDevice(kThermometerProduct, kThermometerVendor, -1, 1), 1);
    EXPECT_EQ(HidFindDevice(kThermometerProduct, kThermometerVendor, 0x0100, 0), 1);
    EXPECT_EQ(HidFindDevice(kThermometerProduct, kThermometerVendor, 0x0100, 1), 0);
    EXPECT_EQ(HidFindDevice(kThermometerProduct, kThermometerVendor, 0x0300, 0), 0);

    int handle = OpenThermometer(0x0200, 0);
    ASSERT_GT(handle, 0);
    bus.Send(older, {0x11, 0x11});
    bus.Send(newer, {0x22, 0x22});
    Report buffer{};
    ASSERT_EQ(HidReadReport(handle, buffer.data(), 3), 3);
    EXPECT_EQ(buffer[1], 0x22) << "version 0x0200 opened the newer device";
    HidCloseDevice(handle);
}

TEST_F(HidAccess, MatchIndexCountsDevicesInSystemOrder)
{
    int first = bus.PlugThermometer();
    bus.Plug(0xAAAA, 0x1234);  // does not count as a match
    int second = bus.PlugThermometer();
    bus.Send(first, {0x01, 0x00});
    bus.Send(second, {0x02, 0x00});

    int h0 = OpenThermometer(-1, 0);
    int h1 = OpenThermometer(-1, 1);
    ASSERT_GT(h0, 0);
    ASSERT_GT(h1, 0);
    EXPECT_EQ(OpenThermometer(-1, 2), 0);
    EXPECT_EQ(OpenThermometer(-1, -1), 0);
    Report b0{}, b1{};
    ASSERT_EQ(HidReadReport(h0, b0.data(), 3), 3);
    ASSERT_EQ(HidReadReport(h1, b1.data(), 3), 3);
    EXPECT_EQ(b0[1], 0x01);
    EXPECT_EQ(b1[1], 0x02);
    HidCloseDevice(h0);
    HidCloseDevice(h1);
}

TEST_F(HidAccess, DeviceThatCannotBeOpenedIsSkippedAndNotCounted)
{
    int locked = bus.PlugThermometer();
    int open = bus.PlugThermometer();
    bus.SetOpenable(locked, false);
    bus.Send(open, {0x02, 0x00});
    // Presence needs no access to the device.
    EXPECT_EQ(HidFindDevice(kThermometerProduct, kThermometerVendor, -1, 1), 1);
    int h = OpenThermometer(-1, 0);
    ASSERT_GT(h, 0);
    EXPECT_EQ(OpenThermometer(-1, 1), 0);
    Report buffer{};
    ASSERT_EQ(HidReadReport(h, buffer.data(), 3), 3);
    EXPECT_EQ(buffer[1], 0x02) << "index 0 is the first device that opens";
    HidCloseDevice(h);
}

TEST_F(HidAccess, OnlyTheFirst256InterfacesAreExamined)
{
    std::vector<int> others;
    for (int i = 0; i < 256; ++i)
        others.push_back(bus.Plug(0x1234, 0x0001));
    bus.PlugThermometer();  // the 257th
    EXPECT_EQ(HidFindDevice(0x0001, 0x1234, -1, 255), 1);
    EXPECT_EQ(HidDevicePresent(kThermometerProduct, kThermometerVendor), 0);
    EXPECT_EQ(HidOpenDevice(kThermometerProduct, kThermometerVendor), 0);
    bus.Unplug(others.front());
    EXPECT_EQ(HidDevicePresent(kThermometerProduct, kThermometerVendor), 1) << "now the 256th";
}

TEST_F(HidAccess, ReportComesWithTheIdByteFirst)
{
    int plain = bus.PlugThermometer();
    int numbered = bus.Plug(0xAAAA, 0xEF06, 0x0100, true);
    int h = HidOpenDevice(kThermometerProduct, kThermometerVendor);
    int hn = HidOpenDevice(0xEF06, 0xAAAA);
    ASSERT_GT(h, 0);
    ASSERT_GT(hn, 0);

    bus.Send(plain, {0x70, 0x01});
    bus.Send(plain, {0xA0, 0xFC});
    Report buffer{0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(HidReadReport(h, buffer.data(), 3), 3);
    EXPECT_EQ(buffer, (Report{0x00, 0x70, 0x01, 0xEE, 0xEE, 0xEE}));
    // A shorter buffer gets the start of the next report, one report per read.
    buffer.fill(0xEE);
    EXPECT_EQ(HidReadReport(h, buffer.data(), 2), 2);
    EXPECT_EQ(buffer, (Report{0x00, 0xA0, 0xEE, 0xEE, 0xEE, 0xEE}));

    bus.Send(numbered, {0x01, 0x34, 0x12});
    buffer.fill(0xEE);
    int error = -1;
    EXPECT_EQ(HidReadReportEx(hn, buffer.data(), 6, &error), 3);
    EXPECT_EQ(buffer, (Report{0x01, 0x34, 0x12, 0xEE, 0xEE, 0xEE})) << "hidraw's own id byte kept";
    EXPECT_EQ(error, 0);
    HidCloseDevice(h);
    HidCloseDevice(hn);
}

TEST_F(HidAccess, WaitingReportIsTakenWithoutWaiting)
{
    int device = bus.PlugThermometer();
    int h = HidOpenDevice(kThermometerProduct, kThermometerVendor);
    ASSERT_GT(h, 0);
    Report buffer{0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    int error = -1;
    EXPECT_EQ(HidReadWaitingReport(h, buffer.data(), 3, &error), 0) << "nothing queued: no wait";
    EXPECT_EQ(error, 0);
    EXPECT_EQ(buffer[0], 0xEE);
    bus.Send(device, {0x70, 0x01});
    bus.Send(device, {0x80, 0x01});
    EXPECT_EQ(HidReadReport(h, buffer.data(), 3), 3);
    EXPECT_EQ(buffer[1], 0x70);
    EXPECT_EQ(HidReadWaitingReport(h, buffer.data(), 3, &error), 3);
    EXPECT_EQ(buffer, (Report{0x00, 0x80, 0x01, 0xEE, 0xEE, 0xEE}));
    EXPECT_EQ(HidReadWaitingReport(h, buffer.data(), 3, &error), 0);
    HidCloseDevice(h);
    EXPECT_EQ(HidReadWaitingReport(h, buffer.data(), 3, &error), 0);
    EXPECT_EQ(error, EBADF) << "closed handle";
}

TEST_F(HidAccess, BadReadArgumentsReturnZeroWithoutReading)
{
    int device = bus.PlugThermometer();
    int h = HidOpenDevice(kThermometerProduct, kThermometerVendor);
    ASSERT_GT(h, 0);
    bus.Send(device, {0x70, 0x01});
    Report buffer{0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(HidReadReport(0, buffer.data(), 3), 0);
    EXPECT_EQ(HidReadReport(h, nullptr, 3), 0);
    EXPECT_EQ(HidReadReport(h, buffer.data(), 0), 0);
    EXPECT_EQ(HidReadReport(h, buffer.data(), -3), 0);
    int error = 0;
    EXPECT_EQ(HidReadReportEx(h + 1000, buffer.data(), 3, &error), 0);
    EXPECT_EQ(error, EBADF);
    EXPECT_EQ(buffer[0], 0xEE);
    // The queued report is still there for a proper read.
    EXPECT_EQ(HidReadReport(h, buffer.data(), 3), 3);
    EXPECT_EQ(buffer[1], 0x70);
    HidCloseDevice(h);
    EXPECT_EQ(HidReadReport(h, buffer.data(), 3), 0) << "closed handle";
}

TEST_F(HidAccess, UnplugEndsABlockedReadAndReplugIsFoundAfresh)
{
    int device = bus.PlugThermometer();
    int h = HidOpenDevice(kThermometerProduct, kThermometerVendor);
    ASSERT_GT(h, 0);
    int error = 0;
    auto read = ReadAsync(h, &error);
    bus.Unplug(device);
    auto [n, buffer] = read.get();
    EXPECT_EQ(n, 0);
    EXPECT_EQ(buffer[0], 0xEE) << "a failed read leaves the buffer alone";
    EXPECT_NE(error, 0);
    EXPECT_EQ(HidDevicePresent(kThermometerProduct, kThermometerVendor), 0);
    EXPECT_EQ(HidOpenDevice(kThermometerProduct, kThermometerVendor), 0);
    EXPECT_EQ(HidCloseDevice(h), 1);

    bus.Replug(device);
    EXPECT_EQ(HidDevicePresent(kThermometerProduct, kThermometerVendor), 1);
    int again = HidOpenDevice(kThermometerProduct, kThermometerVendor);
    ASSERT_GT(again, 0);
    auto next = ReadAsync(again);
    bus.Send(device, {0x70, 0x01});
    auto [m, report] = next.get();
    EXPECT_EQ(m, 3);
    EXPECT_EQ(report[1], 0x70);
    HidCloseDevice(again);
}

TEST_F(HidAccess, CloseEndsABlockedReadOnAPresentDevice)
{
    int device = bus.PlugThermometer();
    int h = HidOpenDevice(kThermometerProduct, kThermometerVendor);
    ASSERT_GT(h, 0);
    int error = 0;
    auto read = ReadAsync(h, &error);
    EXPECT_EQ(HidCloseDevice(h), 1);
    auto [n, buffer] = read.get();
    EXPECT_EQ(n, 0);
    EXPECT_EQ(buffer[0], 0xEE);
    EXPECT_EQ(error, EBADF);
    // A report sent now is for whoever opens the device next.
    bus.Send(device, {0x70, 0x01});
    int again = HidOpenDevice(kThermometerProduct, kThermometerVendor);
    Report fresh{};
    EXPECT_EQ(HidReadReport(again, fresh.data(), 3), 3);
    HidCloseDevice(again);
}

}  // namespace
