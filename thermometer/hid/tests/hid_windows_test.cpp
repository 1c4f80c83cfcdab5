// The Windows HID access against replaced hid.dll and setupapi.dll entry
// points, with devices that CreateFileA and ReadFile reach as named pipes.
#include "fake_windows_hid.h"
#include "hid_access.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <future>

namespace {

constexpr int kProduct = 0xEF04;
constexpr int kVendor = 0xAAAA;

using Report = std::array<std::uint8_t, 6>;

std::future<std::pair<int, Report>> ReadAsync(int handle, int* error = nullptr)
{
    return std::async(std::launch::async, [handle, error] {
        Report buffer{0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
        int n = HidReadReportEx(handle, buffer.data(), 3, error);
        return std::make_pair(n, buffer);
    });
}

class HidWindows : public ::testing::Test {
protected:
    void TearDown() override
    {
        EXPECT_EQ(hid.OpenDeviceSets(), 0) << "every search destroys its device set";
        EXPECT_TRUE(hid.CallsWereWellFormed());
    }
    FakeWindowsHid hid;
};

TEST_F(HidWindows, NoDeviceThenOneThermometerFoundOpenedAndRead)
{
    EXPECT_EQ(HidDevicePresent(kProduct, kVendor), 0);
    EXPECT_EQ(HidOpenDevice(kProduct, kVendor), 0);

    int device = hid.PlugThermometer();
    EXPECT_EQ(HidDevicePresent(kProduct, kVendor), 1);
    EXPECT_EQ(HidFindDevice(kProduct, kVendor, -1, 1), 0) << "there is no second one";
    EXPECT_EQ(HidFindDevice(kProduct, kVendor, 0x0100, 0), 1);
    EXPECT_EQ(HidFindDevice(kProduct, kVendor, 0x0200, 0), 0);
    int handle = HidOpenDevice(kProduct, kVendor);
    ASSERT_GT(handle, 0);

    hid.Send(device, {0x00, 0x70, 0x01});
    Report buffer{0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    int error = -1;
    EXPECT_EQ(HidReadReportEx(handle, buffer.data(), 3, &error), 3);
    EXPECT_EQ(buffer, (Report{0x00, 0x70, 0x01, 0xEE, 0xEE, 0xEE}));
    EXPECT_EQ(error, 0);
    EXPECT_EQ(HidCloseDevice(handle), 1);
    EXPECT_EQ(HidCloseDevice(handle), 0);
}

TEST_F(HidWindows, WrongIdsAreSkippedAndProductComesFirst)
{
    hid.Plug(0xAAAA, 0xEF05);
    hid.Plug(0xAAAB, 0xEF04);
    EXPECT_EQ(HidDevicePresent(kProduct, kVendor), 0);
    EXPECT_EQ(HidOpenDevice(kProduct, kVendor), 0);
    EXPECT_EQ(HidDevicePresent(0xEF05, 0xAAAA), 1);
    EXPECT_EQ(HidDevicePresent(0xAAAA, 0xEF05), 0);
}

TEST_F(HidWindows, TwoThermometersAreTakenInInterfaceOrder)
{
    int locked = hid.PlugUnopenable(kVendor, kProduct);
    int first = hid.PlugThermometer();
    hid.Plug(0xAAAA, 0x1234);
    int second = hid.PlugThermometer();
    (void)locked;
    EXPECT_EQ(HidFindDevice(kProduct, kVendor, -1, 1), 1);
    EXPECT_EQ(HidFindDevice(kProduct, kVendor, -1, 2), 0) << "a device that cannot be opened is not there";
    int h0 = HidOpenDeviceEx(kProduct, kVendor, -1, 0);
    int h1 = HidOpenDeviceEx(kProduct, kVendor, -1, 1);
    ASSERT_GT(h0, 0);
    ASSERT_GT(h1, 0);
    EXPECT_EQ(HidOpenDeviceEx(kProduct, kVendor, -1, 2), 0);
    hid.Send(first, {0x00, 0x01, 0x00});
    hid.Send(second, {0x00, 0x02, 0x00});
    Report b0{}, b1{};
    ASSERT_EQ(HidReadReport(h0, b0.data(), 3), 3);
    ASSERT_EQ(HidReadReport(h1, b1.data(), 3), 3);
    EXPECT_EQ(b0[1], 0x01);
    EXPECT_EQ(b1[1], 0x02);
    HidCloseDevice(h0);
    HidCloseDevice(h1);
}

TEST_F(HidWindows, OnlyTheFirst256InterfacesAreExamined)
{
    for (int i = 0; i < 256; ++i)
        hid.PlugUnopenable(0x1234, 0x0001);
    hid.PlugThermometer();
    EXPECT_EQ(HidDevicePresent(kProduct, kVendor), 0);
    EXPECT_EQ(hid.HighestIndexAsked(), 255);
}

TEST_F(HidWindows, UnplugFailsTheBlockedReadAndCloseEndsAnother)
{
    int device = hid.PlugThermometer();
    int h = HidOpenDevice(kProduct, kVendor);
    ASSERT_GT(h, 0);
    int error = 0;
    auto read = ReadAsync(h, &error);
    Sleep(50);
    hid.Unplug(device);
    auto [n, buffer] = read.get();
    EXPECT_EQ(n, 0);
    EXPECT_EQ(buffer[0], 0xEE) << "a failed read leaves the buffer alone";
    EXPECT_NE(error, 0);
    EXPECT_EQ(HidDevicePresent(kProduct, kVendor), 0);
    EXPECT_EQ(HidCloseDevice(h), 1);

    hid.PlugThermometer();
    int other = HidOpenDevice(kProduct, kVendor);
    ASSERT_GT(other, 0);
    auto blocked = ReadAsync(other, &error);
    Sleep(50);
    EXPECT_EQ(HidCloseDevice(other), 1);
    auto [m, untouched] = blocked.get();
    EXPECT_EQ(m, 0);
    EXPECT_EQ(untouched[0], 0xEE);
    EXPECT_EQ(error, ERROR_INVALID_HANDLE);
}

}  // namespace
