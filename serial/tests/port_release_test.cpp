// What a port is left like after SerialLine_Close, seen from a second
// descriptor on a pty slave, and the refusal of the system console.
#include "pty_pair.h"
#include "serial_line.h"
#include "system_console.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

class PortRelease : public ::testing::Test {
protected:
    void SetUp() override
    {
        pty_ = OpenPtyPair();
        ASSERT_GE(pty_.master, 0);
        // Our own descriptor keeps the slave alive and shows its settings.
        slave_ = ::open(pty_.slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(slave_, 0);
    }
    void TearDown() override
    {
        if (slave_ >= 0)
            ::close(slave_);
        ClosePtyPair(pty_);
    }
    PtyPair pty_;
    int slave_ = -1;
};

TEST_F(PortRelease, CloseDiscardsPendingOutputInsteadOfWaitingForIt)
{
    // In packet mode the master learns of every flush of the slave's output.
    int on = 1;
    ASSERT_EQ(::ioctl(pty_.master, TIOCPKT, &on), 0);
    const int32_t handle = SerialLine_Open((pty_.slavePath + ":9600,N,8,1").c_str(), HandshakeNone, 1, 1);
    ASSERT_NE(handle, 0);
    ASSERT_EQ(SerialLine_Write(handle, "abc", 3), 1);
    ASSERT_EQ(SerialLine_Close(handle), 1);

    ::fcntl(pty_.master, F_SETFL, O_NONBLOCK);
    int status = 0;
    unsigned char packet[64];
    for (ssize_t n; (n = ::read(pty_.master, packet, sizeof packet)) > 0;)
        if (packet[0] != TIOCPKT_DATA)
            status |= packet[0];
    EXPECT_TRUE(status & TIOCPKT_FLUSHWRITE);
}

TEST_F(PortRelease, CloseGivesBackTheSettingsTheTerminalHadAndEndsExclusiveUse)
{
    termios before {};
    ASSERT_EQ(::tcgetattr(slave_, &before), 0);
    before.c_lflag |= ICANON | ECHO | ISIG;
    before.c_oflag |= OPOST;
    ::cfsetspeed(&before, B2400);
    ASSERT_EQ(::tcsetattr(slave_, TCSANOW, &before), 0);

    const int32_t handle = SerialLine_Open((pty_.slavePath + ":9600,N,8,1").c_str(), HandshakeRtsCts, 1, 1);
    ASSERT_NE(handle, 0);
    int exclusive = 0;
    ASSERT_EQ(::ioctl(slave_, TIOCGEXCL, &exclusive), 0);
    ASSERT_EQ(exclusive, 1);
    ASSERT_EQ(SerialLine_Close(handle), 1);

    termios after {};
    ASSERT_EQ(::tcgetattr(slave_, &after), 0);
    EXPECT_EQ(after.c_lflag & (ICANON | ECHO | ISIG), static_cast<tcflag_t>(ICANON | ECHO | ISIG));
    EXPECT_TRUE(after.c_oflag & OPOST);
    EXPECT_FALSE(after.c_cflag & CRTSCTS);
    EXPECT_EQ(::cfgetospeed(&after), static_cast<speed_t>(B2400));
    ASSERT_EQ(::ioctl(slave_, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
}

TEST(SystemConsole, ListHoldsTheFixedNamesAndEveryActiveConsole)
{
    const std::vector<std::string> paths = SystemConsolePaths("ttyS0 tty0 hvc0\n");
    for (const char* expected : {"/dev/console", "/dev/tty", "/dev/tty0", "/dev/ttyS0", "/dev/hvc0"})
        EXPECT_NE(std::find(paths.begin(), paths.end(), expected), paths.end()) << expected;
    EXPECT_EQ(SystemConsolePaths("").size(), 3u);
    EXPECT_EQ(SystemConsolePaths("../etc/x").size(), 3u) << "a name with a / is no device of /dev";
}

TEST(SystemConsole, RecognisedByNameAndUnderAnyOtherNameWithoutAWord)
{
    const PtyPair console = OpenPtyPair();
    PtyPair other = OpenPtyPair();
    ASSERT_GE(console.master, 0);
    ASSERT_GE(other.master, 0);
    const std::vector<std::string> consoles{"/dev/console-of-this-test", console.slavePath};
    const std::filesystem::path link =
        std::filesystem::path(::testing::TempDir()) / ("console-link-" + std::to_string(::getpid()));
    std::filesystem::remove(link);
    std::filesystem::create_symlink(console.slavePath, link);

    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(IsSystemConsole(console.slavePath, consoles));
    EXPECT_TRUE(IsSystemConsole(link.string(), consoles));
    EXPECT_TRUE(IsSystemConsole("/dev/console-of-this-test", consoles));
    EXPECT_FALSE(IsSystemConsole(other.slavePath, consoles));
    EXPECT_FALSE(IsSystemConsole("/dev/null", consoles)) << "a character device, but another one";
    // The service is linked into a library: what it prints lands in its caller's output.
    EXPECT_EQ(SerialLine_Open("/dev/console:9600,N,8,1", HandshakeNone, 1, 1), 0);
    EXPECT_EQ(SerialLine_IsSystemConsole("/dev/console:9600,N,8,1"), 1);
    EXPECT_EQ(SerialLine_IsSystemConsole(other.slavePath.c_str()), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

    std::filesystem::remove(link);
    PtyPair c = console;
    ClosePtyPair(c);
    ClosePtyPair(other);
}

}  // namespace
