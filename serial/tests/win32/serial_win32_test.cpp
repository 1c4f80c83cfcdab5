// The serial line service on the KERNEL32 communications calls, under Wine:
// COM10 is a pseudo-terminal with an echo on its far end. A pty has no modem
// lines, so those calls fail there, and cleanly.
#include "serial_line.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kEchoPort = "COM10";

bool RunningUnderWine() { return ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

// The port's state as the system holds it, read through a second handle.
// Wine hands one out (Windows would refuse it: the port is opened unshared).
bool ReadBackState(DCB& dcb)
{
    const HANDLE second = ::CreateFileA("\\\\.\\COM10", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                        nullptr);
    if (second == INVALID_HANDLE_VALUE)
        return false;
    dcb = DCB {};
    dcb.DCBlength = sizeof dcb;
    const bool read = ::GetCommState(second, &dcb) != 0;
    ::CloseHandle(second);
    return read;
}

class SerialOnEchoPty : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (handle_)
            SerialLine_Close(handle_);
    }
    int32_t Open(const std::string& mode = ":9600,N,8,1", int32_t handshake = HandshakeNone)
    {
        handle_ = SerialLine_Open((kEchoPort + mode).c_str(), handshake, 1, 1);
        return handle_;
    }
    // Waits until the input count reaches n; gives up after a generous while.
    int32_t WaitForInput(int32_t n)
    {
        const auto start = Clock::now();
        int32_t count = 0;
        while ((count = SerialLine_InputCount(handle_)) < n && Clock::now() - start < std::chrono::seconds(5))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return count;
    }
    int32_t handle_ = 0;
};

TEST_F(SerialOnEchoPty, BytesTravelBothWaysWithTheInputCount)
{
    ASSERT_NE(Open(), 0);
    const unsigned char sent[] = {0x00, 0x41, 0xFF, 0x0A};
    ASSERT_EQ(SerialLine_Write(handle_, sent, 4), 1);
    EXPECT_EQ(WaitForInput(4), 4);
    unsigned char got[4] = {};
    ASSERT_NE(SerialLine_Read(handle_, got, 4), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(got), 4), std::string(reinterpret_cast<const char*>(sent), 4));
    EXPECT_EQ(SerialLine_InputCount(handle_), 0);
}

TEST_F(SerialOnEchoPty, ReadWithNothingArrivingSucceedsAfterItsTimeout)
{
    ASSERT_NE(Open(), 0);
    unsigned char byte = 0x55;
    const auto start = Clock::now();
    EXPECT_NE(SerialLine_Read(handle_, &byte, 1), 0) << "a read that times out is still a success";
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_GE(elapsed, 50) << "the read waited for its time-out (10 ms + 100 ms)";
    EXPECT_EQ(byte, 0x55);
}

TEST_F(SerialOnEchoPty, TheWholeSettingsStringAndTheHandshakeReachThePort)
{
    if (!RunningUnderWine())
        GTEST_SKIP() << "reading the state back needs a second handle, which only Wine gives";
    // A pty keeps 8 data bits without parity whatever it is told; speed and
    // stop bits show what the mode parser made of the string.
    DCB dcb {};
    ASSERT_NE(Open(":1200,N,8,2", HandshakeRtsCts), 0);
    ASSERT_TRUE(ReadBackState(dcb));
    EXPECT_EQ(dcb.BaudRate, 1200u);
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
    EXPECT_TRUE(dcb.fOutxCtsFlow);
    SerialLine_Close(handle_);

    ASSERT_NE(Open(":baud=4800 parity=n data=8 stop=1", HandshakeXonXoff), 0);
    ASSERT_TRUE(ReadBackState(dcb));
    EXPECT_EQ(dcb.BaudRate, 4800u);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_TRUE(dcb.fOutX);
    EXPECT_TRUE(dcb.fInX);
    EXPECT_EQ(dcb.XonChar, 0x11);
    EXPECT_EQ(dcb.XoffChar, 0x13);
    EXPECT_EQ(SerialLine_SetXonXoffChars(handle_, 0x112, 0x14), 1);
    ASSERT_TRUE(ReadBackState(dcb));
    EXPECT_EQ(dcb.XonChar, 0x12) << "the low 8 bits";
    EXPECT_EQ(dcb.XoffChar, 0x14);
}

TEST_F(SerialOnEchoPty, AModeTheSystemRefusesStillGivesAnOpenPort)
{
    ASSERT_NE(Open(":fast,Q"), 0);
    const unsigned char byte = 0x31;
    EXPECT_EQ(SerialLine_Write(handle_, &byte, 1), 1);
    EXPECT_EQ(WaitForInput(1), 1);
}

TEST_F(SerialOnEchoPty, ModemLinesOfAPtyFailCleanly)
{
    // A pty takes a break, but has no DTR, RTS or modem status.
    ASSERT_NE(Open(), 0);
    EXPECT_EQ(SerialLine_SetDTR(handle_, 1), 0);
    EXPECT_EQ(SerialLine_SetRTS(handle_, 1), 0);
    EXPECT_EQ(SerialLine_SetBreak(handle_, 1), 1);
    EXPECT_EQ(SerialLine_SetBreak(handle_, 0), 1);
    EXPECT_EQ(SerialLine_GetCTS(handle_), 0);
    EXPECT_EQ(SerialLine_GetDSR(handle_), 0);
    EXPECT_EQ(SerialLine_GetRI(handle_), 0);
    EXPECT_EQ(SerialLine_GetDCD(handle_), 0);
}

TEST_F(SerialOnEchoPty, ASecondOpenOfTheSamePortFails)
{
    ASSERT_NE(Open(), 0);
    const int32_t second = SerialLine_Open("COM10:9600,N,8,1", HandshakeNone, 1, 1);
    if (second != 0 && RunningUnderWine()) {
        SerialLine_Close(second);
        GTEST_SKIP() << "Wine opens a COM port twice; Windows refuses the unshared second open";
    }
    EXPECT_EQ(second, 0);
}

TEST(SerialLine, HandlesZeroAndMinusOneNameNoPort)
{
    unsigned char byte = 0;
    for (const int32_t handle : {0, -1}) {
        EXPECT_EQ(SerialLine_Write(handle, &byte, 1), 0);
        EXPECT_EQ(SerialLine_Read(handle, &byte, 1), 0);
        EXPECT_EQ(SerialLine_InputCount(handle), 0);
        EXPECT_EQ(SerialLine_SetRTS(handle, 1), 0);
        EXPECT_EQ(SerialLine_GetDSR(handle), 0);
        EXPECT_EQ(SerialLine_SetXonXoffChars(handle, 0x11, 0x13), 0);
    }
}

TEST(SerialLine, NamesThatCannotBeOpenedGiveZero)
{
    EXPECT_EQ(SerialLine_Open("COM9:9600,N,8,1", HandshakeNone, 1, 1), 0) << "no such port in the prefix";
    EXPECT_EQ(SerialLine_Open(":9600,N,8,1", HandshakeNone, 1, 1), 0) << "the bare device prefix";
    EXPECT_EQ(SerialLine_Open("COM10_LONGER:9600", HandshakeNone, 1, 1), 0) << "12 characters do not fit";
    EXPECT_EQ(SerialLine_Open("VIRTUAL-NOSUCH", HandshakeNone, 1, 1), 0);
    EXPECT_EQ(SerialLine_Open(nullptr, HandshakeNone, 1, 1), 0);
}

TEST(SerialLine, VirtualNamesReachTheVirtualProgrammer)
{
    wchar_t temp[MAX_PATH];
    ASSERT_GT(::GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring dir = std::wstring(temp) + L"serial-virtual-" + std::to_wstring(::GetCurrentProcessId());
    ASSERT_TRUE(::CreateDirectoryW(dir.c_str(), nullptr));
    ASSERT_TRUE(::SetCurrentDirectoryW(dir.c_str()));

    const int32_t handle = SerialLine_Open("VIRTUAL:9600,N,8,1", HandshakeNone, 1, 1);
    ASSERT_NE(handle, 0);
    // The adapter loops RTS back to DSR.
    EXPECT_EQ(SerialLine_SetRTS(handle, 1), 1);
    EXPECT_EQ(SerialLine_GetDSR(handle), 1);
    EXPECT_EQ(SerialLine_SetRTS(handle, 0), 1);
    EXPECT_EQ(SerialLine_GetDSR(handle), 0);
    EXPECT_EQ(SerialLine_Open("VIRTUAL", HandshakeNone, 1, 1), 0) << "one virtual port at a time";
    EXPECT_EQ(SerialLine_Close(handle), 1);
    EXPECT_NE(::GetFileAttributesW((dir + L"\\virtual-pic.hex").c_str()), INVALID_FILE_ATTRIBUTES)
        << "the chip is saved when the port closes";

    ::SetCurrentDirectoryW(temp);
    ::DeleteFileW((dir + L"\\virtual-pic.hex").c_str());
    ::DeleteFileW((dir + L"\\virtual-pic.vcd").c_str());
    ::RemoveDirectoryW(dir.c_str());
}

}  // namespace
