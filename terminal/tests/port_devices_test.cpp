// The port choices' device list, built from a fake /dev of plain files and
// links in a temporary folder: no real port is looked at or opened.
#include "port_devices.h"
#include "terminal_logic.h"

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
        for (const std::string& path : ListSerialDevices(root_, consoles))
            relative.push_back(path.substr(root_.size() + 1));
        return relative;
    }
    std::string root_;
};

TEST_F(FakeDevTree, ComLinksThenByIdThenUsbAcmAndSerialEachDeviceOnceWithoutTheConsole)
{
    for (const char* name : {"ttyS0", "ttyS1", "ttyS10", "ttyS2", "ttyUSB1", "ttyUSB0", "ttyACM0", "tty", "ttyprintk"})
        Node(name);
    Link("serial/by-id/usb-FTDI_A50285BI-if00-port0", "../../ttyUSB1");
    Link("COM2", "ttyACM0");
    Link("COM1", "ttyS2");
    Link("COM3", "ttyS0");        // the console under another name
    Link("COM4", "ttyUSB9");      // a link to nothing
    EXPECT_EQ(Listed({root_ + "/ttyS0"}),
              (std::vector<std::string>{"COM1", "COM2", "serial/by-id/usb-FTDI_A50285BI-if00-port0", "ttyUSB0",
                                        "ttyS1", "ttyS10"}));
}

TEST_F(FakeDevTree, ChoicesBeyondTheDevicesKeepTheirComNamesAndOnlyEightAreShown)
{
    Node("ttyUSB0");
    EXPECT_EQ(PortChoiceLabels({root_ + "/ttyUSB0"})[0], "COM1 — " + root_ + "/ttyUSB0");
    EXPECT_EQ(PortChoiceLabels({root_ + "/ttyUSB0"})[1], "COM2");
    for (int i = 1; i <= 12; ++i)
        Node("ttyS" + std::to_string(i));
    const std::vector<std::string> devices = ListSerialDevices(root_, {});
    ASSERT_EQ(devices.size(), 13u);
    EXPECT_EQ(PortChoiceLabels(devices)[7], "COM8 — " + root_ + "/ttyS7");
}
