// The port choices' device list, built from a fake /dev of plain files and
// links in a temporary folder: no real port is looked at or opened.
#include "port_devices.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

class FakeDevTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/wirelet-dev-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = fs::canonical(pattern).string();
    }
    void TearDown() override { fs::remove_all(root_); }
    void Node(const std::string& name) { std::ofstream(root_ + "/" + name); }
    void Link(const std::string& name, const std::string& target)
    {
        fs::create_directories(fs::path(root_ + "/" + name).parent_path());
        fs::create_symlink(target, root_ + "/" + name);
    }
    std::vector<std::string> Listed(const std::vector<std::string>& consoles = {})
    {
        std::vector<std::string> relative;
        for (const std::string& path : ListSerialDevices(root_, root_ + "/sys", consoles))
            relative.push_back(path.substr(root_.size() + 1));
        return relative;
    }
    std::string root_;
};

TEST_F(FakeDevTree, ComLinksThenByIdThenUsbAcmAndSerialEachDeviceOnceWithoutTheConsoleOrEmptyUartPorts)
{
    for (const char* name : {"ttyS0", "ttyS1", "ttyS10", "ttyS2", "ttyUSB1", "ttyUSB0", "ttyACM0", "ttyACM1", "tty",
                             "ttyprintk"})
        Node(name);
    Link("serial/by-id/usb-FTDI_A50285BI-if00-port0", "../../ttyUSB1");
    Link("serial/by-id/usb-Acme_Probe_12:34-if00", "../../ttyACM1");  // ":" ends a port name
    Link("COM2", "ttyACM0");
    Link("COM1", "ttyS2");
    Link("COM3", "ttyS0");    // the console under another name
    Link("COM4", "ttyUSB9");  // a link to nothing
    // Two UART ports as the kernel shows them, by device number: the one on
    // /dev/null's number has no UART (type 0), the one on /dev/zero's a 16550A.
    Link("ttyS4", "/dev/null");
    Link("ttyS5", "/dev/zero");
    fs::create_directories(root_ + "/sys/dev/char/1:3");
    fs::create_directories(root_ + "/sys/dev/char/1:5");
    std::ofstream(root_ + "/sys/dev/char/1:3/type") << "0\n";
    std::ofstream(root_ + "/sys/dev/char/1:5/type") << "4\n";
    EXPECT_EQ(Listed({root_ + "/ttyS0"}),
              (std::vector<std::string>{"COM1", "COM2", "serial/by-id/usb-FTDI_A50285BI-if00-port0", "ttyUSB0",
                                        "ttyACM1", "ttyS1", "ttyS5", "ttyS10"}));
}
