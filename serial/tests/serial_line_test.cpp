// The serial line service on pseudo-terminal pairs: bytes both ways, the
// read time-outs, the input count, exclusive use, line settings, and the
// results for ports without modem lines or without a port at all.
#include "port_names.h"
#include "pty_pair.h"
#include "serial_device.h"
#include "serial_line.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

long MillisecondsSince(Clock::time_point start)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class SerialOnPty : public ::testing::Test {
protected:
    void SetUp() override
    {
        pty_ = OpenPtyPair();
        ASSERT_GE(pty_.master, 0);
        // The master side stays raw too, so bytes pass unchanged.
        termios tio {};
        ::tcgetattr(pty_.master, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(pty_.master, TCSANOW, &tio);
    }
    void TearDown() override
    {
        if (handle_)
            SerialLine_Close(handle_);
        ClosePtyPair(pty_);
    }
    int32_t Open(const std::string& mode = ":9600,N,8,1", int32_t handshake = HandshakeNone)
    {
        handle_ = SerialLine_Open((pty_.slavePath + mode).c_str(), handshake, 1, 1);
        return handle_;
    }
    // Waits until the master has n bytes; gives up after a generous while.
    std::string ReadFromMaster(std::size_t n)
    {
        std::string got;
        const auto start = Clock::now();
        while (got.size() < n && MillisecondsSince(start) < 5000) {
            char buffer[256];
            const ssize_t r = ::read(pty_.master, buffer, std::min(sizeof buffer, n - got.size()));
            if (r > 0)
                got.append(buffer, static_cast<std::size_t>(r));
        }
        return got;
    }
    void WriteToMaster(const std::string& bytes)
    {
        ASSERT_EQ(::write(pty_.master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    int32_t WaitForInput(int32_t n)
    {
        const auto start = Clock::now();
        int32_t count = 0;
        while ((count = SerialLine_InputCount(handle_)) < n && MillisecondsSince(start) < 5000)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return count;
    }

    PtyPair pty_;
    int32_t handle_ = 0;
};

TEST_F(SerialOnPty, BytesTravelBothWaysUnchanged)
{
    ASSERT_NE(Open(), 0);
    const std::string out("\x00\x0A\x0D\x11\x13\xFF", 6);
    EXPECT_EQ(SerialLine_Write(handle_, out.data(), static_cast<int32_t>(out.size())), 1);
    EXPECT_EQ(ReadFromMaster(out.size()), out);

    const std::string in("\x03\x7F\x0D\x0A\xFE", 5);
    WriteToMaster(in);
    ASSERT_EQ(WaitForInput(5), 5);
    char buffer[5] = {};
    EXPECT_NE(SerialLine_Read(handle_, buffer, 5), 0);
    EXPECT_EQ(std::string(buffer, 5), in);
    EXPECT_EQ(SerialLine_InputCount(handle_), 0);
}

TEST_F(SerialOnPty, ReadWithNothingArrivingWaitsItsTotalTimeoutAndSucceeds)
{
    ASSERT_NE(Open(), 0);
    char buffer[4];
    const auto start = Clock::now();
    EXPECT_NE(SerialLine_Read(handle_, buffer, 4), 0);
    // 10 ms per byte plus 100 ms; the upper figure only catches a hang.
    EXPECT_GE(MillisecondsSince(start), 140);
    EXPECT_LT(MillisecondsSince(start), 5000);
}

TEST_F(SerialOnPty, SilenceAfterTheFirstByteEndsTheRead)
{
    ASSERT_NE(Open(), 0);
    WriteToMaster("A");
    ASSERT_EQ(WaitForInput(1), 1);
    char buffer[200] = {};
    const auto start = Clock::now();
    // Total time-out would be 2100 ms; 100 ms of silence ends it far sooner.
    EXPECT_NE(SerialLine_Read(handle_, buffer, 200), 0);
    EXPECT_GE(MillisecondsSince(start), 95);
    EXPECT_LT(MillisecondsSince(start), 2000);
    EXPECT_EQ(buffer[0], 'A');
}

TEST_F(SerialOnPty, SecondOpenFailsUntilTheFirstIsClosed)
{
    ASSERT_NE(Open(), 0);
    EXPECT_EQ(SerialLine_Open(pty_.slavePath.c_str(), HandshakeNone, 1, 1), 0);
    EXPECT_EQ(SerialLine_Close(handle_), 1);
    handle_ = 0;
    const int32_t again = SerialLine_Open(pty_.slavePath.c_str(), HandshakeNone, 1, 1);
    EXPECT_NE(again, 0);
    EXPECT_EQ(SerialLine_Close(again), 1);
    EXPECT_EQ(SerialLine_Close(again), 0) << "a closed handle is no longer known";
}

// A pty keeps its own data bits and parity (the kernel forces CS8, no
// parity), so only speed, stop bits and flow control can be seen here.
TEST_F(SerialOnPty, ModeStringSetsSpeedAndStopBits)
{
    ASSERT_NE(Open(":4800,E,7,1.5"), 0);
    const int fd = FindOpenDescriptor(pty_.slavePath);
    ASSERT_GE(fd, 0);
    termios tio {};
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    EXPECT_TRUE(tio.c_cflag & CSTOPB);
    EXPECT_FALSE(tio.c_cflag & CRTSCTS);
    EXPECT_EQ(TtyOutputSpeed(fd), 4800);
}

TEST_F(SerialOnPty, EverySpeedOfTheTerminalListIsSet)
{
    for (int32_t baud : {75, 110, 134, 150, 300, 600, 1200, 1800, 2400, 4800, 7200, 9600, 14400, 19200, 38400,
                         57600, 115200, 128000}) {
        ASSERT_NE(Open(":" + std::to_string(baud) + ",N,8,1"), 0) << baud;
        EXPECT_EQ(TtyOutputSpeed(FindOpenDescriptor(pty_.slavePath)), baud);
        SerialLine_Close(handle_);
        handle_ = 0;
    }
}

TEST_F(SerialOnPty, HandshakeModesSetTheFlowControlFlags)
{
    ASSERT_NE(Open(":9600,N,8,1", HandshakeRtsCts), 0);
    termios tio {};
    ASSERT_EQ(::tcgetattr(FindOpenDescriptor(pty_.slavePath), &tio), 0);
    EXPECT_TRUE(tio.c_cflag & CRTSCTS);
    EXPECT_FALSE(tio.c_iflag & IXON);
    SerialLine_Close(handle_);

    ASSERT_NE(Open(":9600,N,8,1", HandshakeXonXoff), 0);
    const int fd = FindOpenDescriptor(pty_.slavePath);
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    EXPECT_TRUE(tio.c_iflag & IXON);
    EXPECT_TRUE(tio.c_iflag & IXOFF);
    EXPECT_FALSE(tio.c_cflag & CRTSCTS);
    EXPECT_EQ(tio.c_cc[VSTART], 0x11);
    EXPECT_EQ(tio.c_cc[VSTOP], 0x13);

    EXPECT_EQ(SerialLine_SetXonXoffChars(handle_, 0x10B, 13), 1);
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    EXPECT_EQ(tio.c_cc[VSTART], 11) << "only the low 8 bits count";
    EXPECT_EQ(tio.c_cc[VSTOP], 13);
    SerialLine_Close(handle_);

    // An unknown mode leaves what the mode string set.
    ASSERT_NE(Open(":9600,N,8,1", 5), 0);
    ASSERT_EQ(::tcgetattr(FindOpenDescriptor(pty_.slavePath), &tio), 0);
    EXPECT_FALSE(tio.c_cflag & CRTSCTS);
    EXPECT_FALSE(tio.c_iflag & (IXON | IXOFF));
}

TEST_F(SerialOnPty, AModeThatCannotBeParsedStillGivesAnOpenPort)
{
    ASSERT_NE(Open(":fast,Q,9"), 0);
    EXPECT_EQ(SerialLine_Write(handle_, "x", 1), 1);
    EXPECT_EQ(ReadFromMaster(1), "x");
}

TEST_F(SerialOnPty, ModemLinesOfAPtyFailCleanly)
{
    ASSERT_NE(Open(), 0);
    EXPECT_EQ(SerialLine_SetDTR(handle_, 1), 0);
    EXPECT_EQ(SerialLine_SetRTS(handle_, 1), 0);
    EXPECT_EQ(SerialLine_GetCTS(handle_), 0);
    EXPECT_EQ(SerialLine_GetDSR(handle_), 0);
    EXPECT_EQ(SerialLine_GetRI(handle_), 0);
    EXPECT_EQ(SerialLine_GetDCD(handle_), 0);
    // No line wait either: it fails at once rather than blocking.
    EXPECT_EQ(SerialLine_WaitLineChange(handle_), -1);
    EXPECT_GE(SerialLine_InputDescriptor(handle_), 0);
}

TEST(SerialLine, HandlesZeroAndMinusOneNameNoPort)
{
    for (int32_t handle : {0, -1, 100000}) {
        char byte = 0;
        EXPECT_EQ(SerialLine_Write(handle, &byte, 1), 0);
        EXPECT_EQ(SerialLine_Read(handle, &byte, 1), 0);
        EXPECT_EQ(SerialLine_InputCount(handle), 0);
        EXPECT_EQ(SerialLine_SetDTR(handle, 1), 0);
        EXPECT_EQ(SerialLine_SetRTS(handle, 1), 0);
        EXPECT_EQ(SerialLine_SetBreak(handle, 1), 0);
        EXPECT_EQ(SerialLine_GetCTS(handle), 0);
        EXPECT_EQ(SerialLine_GetDSR(handle), 0);
        EXPECT_EQ(SerialLine_GetRI(handle), 0);
        EXPECT_EQ(SerialLine_GetDCD(handle), 0);
        EXPECT_EQ(SerialLine_SetXonXoffChars(handle, 17, 19), 0);
        EXPECT_EQ(SerialLine_InputDescriptor(handle), -1);
        EXPECT_EQ(SerialLine_WaitLineChange(handle), -1);
        EXPECT_EQ(SerialLine_Close(handle), 0);
    }
}

TEST(SerialLine, NamesThatCannotBeOpenedGiveZero)
{
    EXPECT_EQ(SerialLine_Open(nullptr, 0, 1, 1), 0);
    EXPECT_EQ(SerialLine_Open("", 0, 1, 1), 0);
    EXPECT_EQ(SerialLine_Open(":9600,N,8,1", 0, 1, 1), 0);
    EXPECT_EQ(SerialLine_Open("/nonexistent/port:9600,N,8,1", 0, 1, 1), 0);
    EXPECT_EQ(SerialLine_Open(std::string(100000, 'A').c_str(), 0, 1, 1), 0);
    EXPECT_EQ(SerialLine_Open("VIRTUAL-NOSUCHFIXTURE", 0, 1, 1), 0);
}

TEST(PortNames, NameIsTheTextBeforeTheFirstColon)
{
    EXPECT_EQ(PortNameOf("COM3:9600,N,8,1"), "COM3");
    EXPECT_EQ(PortNameOf("COM3"), "COM3");
    EXPECT_EQ(PortNameOf("a:b:c"), "a");
    EXPECT_EQ(PortNameOf(":9600"), "");
}

TEST(PortNames, MapToDevicePaths)
{
    EXPECT_EQ(DevicePathForPortName("/tmp/x/port"), "/tmp/x/port");
    EXPECT_EQ(DevicePathForPortName("tty"), "/dev/tty") << "an existing /dev name is used as it is";
    EXPECT_EQ(DevicePathForPortName("ttyUSB77"), "/dev/ttyUSB77");
    if (::access("/dev/COM3", F_OK) != 0) {
        EXPECT_EQ(DevicePathForPortName("COM3"), "/dev/ttyS2");
        EXPECT_EQ(DevicePathForPortName("com1"), "/dev/ttyS0");
        EXPECT_EQ(DevicePathForPortName("COM256"), "/dev/ttyS255");
    }
    EXPECT_EQ(DevicePathForPortName("COM0"), "/dev/COM0");
    EXPECT_EQ(DevicePathForPortName("COM257"), "/dev/COM257");
    EXPECT_EQ(DevicePathForPortName("COM01"), "/dev/COM01");
    EXPECT_EQ(DevicePathForPortName(""), "");
    EXPECT_EQ(DevicePathForPortName(std::string(kMaxPortNameLength + 1, 'x')), "");
    EXPECT_EQ(DevicePathForPortName(std::string(kMaxPortNameLength, 'x')), "/dev/" + std::string(kMaxPortNameLength, 'x'));
}

TEST(LineMode, OldFormWithAbbreviationsAndEmptyFields)
{
    const auto full = ParseLineMode("4800,E,7,1.5");
    ASSERT_TRUE(full);
    EXPECT_EQ(full->baud, 4800);
    EXPECT_EQ(full->parity, 'E');
    EXPECT_EQ(full->dataBits, 7);
    EXPECT_EQ(full->stopBitsTimesTen, 15);

    const auto abbreviated = ParseLineMode("96,n,8,1");
    ASSERT_TRUE(abbreviated);
    EXPECT_EQ(abbreviated->baud, 9600);
    EXPECT_EQ(abbreviated->parity, 'N');

    const auto partial = ParseLineMode("19200,,8");
    ASSERT_TRUE(partial);
    EXPECT_EQ(partial->baud, 19200);
    EXPECT_FALSE(partial->parity);
    EXPECT_FALSE(partial->stopBitsTimesTen);

    const auto slow = ParseLineMode("110,N,8");
    ASSERT_TRUE(slow);
    EXPECT_EQ(slow->stopBitsTimesTen, 20) << "110 bit/s defaults to two stop bits";

    EXPECT_TRUE(ParseLineMode(""));
    EXPECT_TRUE(ParseLineMode("9600,N,8,1,x"));
}

TEST(LineMode, NewFormKeyValuePairs)
{
    const auto mode = ParseLineMode("baud=128000 parity=o data=5 stop=2 xon=on octs=off dtr=off rts=hs to=off");
    ASSERT_TRUE(mode);
    EXPECT_EQ(mode->baud, 128000);
    EXPECT_EQ(mode->parity, 'O');
    EXPECT_EQ(mode->dataBits, 5);
    EXPECT_EQ(mode->stopBitsTimesTen, 20);
    EXPECT_EQ(mode->xonXoff, true);
    EXPECT_EQ(mode->dtrOn, false);
    EXPECT_TRUE(mode->rtsHandshake);
}

TEST(LineMode, AnythingNotUnderstoodRefusesTheWholeMode)
{
    for (const char* bad : {"9600,X,8,1", "9600,N,9,1", "9600,N,8,3", "9600,N,8,1,x,y", "-9600", "96OO",
                            "baud=9600 speed=fast", "baud=", "parity=n data=4", "99999999999,N,8,1"})
        EXPECT_FALSE(ParseLineMode(bad)) << bad;
}

}  // namespace
