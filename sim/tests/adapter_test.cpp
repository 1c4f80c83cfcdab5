// What the host sees on its input lines for each fixture.
#include "wire_host.h"

#include <atomic>
#include <thread>

namespace {

using sim::Line;
using sim::LineEvent;
using simtest::WireHost;

class AdapterTest : public simtest::TempDirTest {
protected:
    void TearDown() override
    {
        sim::CloseVirtualPort(port_);
        TempDirTest::TearDown();
    }

    sim::VirtualPort* Open(const char* name)
    {
        port_ = sim::OpenVirtualPort(name);
        EXPECT_NE(port_, nullptr) << name;
        return port_;
    }

    sim::VirtualPort* port_ = nullptr;
};

TEST_F(AdapterTest, OpenLeavesDtrAndRtsRaisedAndCloseDropsEverything)
{
    sim::VirtualPort* port = Open("VIRTUAL");
    EXPECT_TRUE(sim::GetCts(port));
    EXPECT_TRUE(sim::GetDsr(port));
    EXPECT_FALSE(sim::GetDcd(port));
    EXPECT_FALSE(sim::GetRi(port));
    const std::vector<LineEvent> start = {
        {0, Line::Rts, true}, {0, Line::Dtr, true}, {0, Line::Break, false},
        {0, Line::Cts, true}, {0, Line::Dsr, true},
    };
    EXPECT_EQ(sim::LastLineRecord(), start);

    sim::SetVirtualTime(port, 5000);
    sim::SetBreak(port, true);
    sim::CloseVirtualPort(port);
    port_ = nullptr;
    const std::vector<LineEvent> record = sim::LastLineRecord();
    const std::vector<LineEvent> tail(record.begin() + 5, record.end());
    const std::vector<LineEvent> expected = {
        {5000, Line::Break, true}, {5000, Line::Break, false}, {5000, Line::Rts, false},
        {5000, Line::Dsr, false},  {5000, Line::Dtr, false},   {5000, Line::Cts, false},
    };
    EXPECT_EQ(tail, expected);
    // With data high at power-up the chip never entered programming mode.
    EXPECT_TRUE(sim::LastChipRecord().empty());
}

TEST_F(AdapterTest, DsrFollowsRtsWithAndWithoutChip)
{
    for (const char* name : {"VIRTUAL", "VIRTUAL-EMPTY"}) {
        sim::VirtualPort* port = Open(name);
        for (bool powered : {false, true}) {
            sim::SetBreak(port, powered);
            sim::SetRts(port, false);
            EXPECT_FALSE(sim::GetDsr(port)) << name;
            sim::SetRts(port, true);
            EXPECT_TRUE(sim::GetDsr(port)) << name;
        }
        sim::CloseVirtualPort(port);
        port_ = nullptr;
    }
}

TEST_F(AdapterTest, EmptySocketEchoesTheDataOutLine)
{
    WireHost host(Open("VIRTUAL-EMPTY"));
    host.PowerOn();
    EXPECT_FALSE(sim::GetCts(port_));
    host.Dtr(true);
    EXPECT_TRUE(sim::GetCts(port_));
    EXPECT_EQ(host.Read(4), 0x3FFF);
    host.Command(4);
    host.Dtr(false);
    for (bool bit : host.ReadClocks(false))
        EXPECT_FALSE(bit);
    host.PowerOff();
    EXPECT_TRUE(sim::LastChipRecord().empty());
}

TEST_F(AdapterTest, NoAdapterKeepsEveryInputOff)
{
    WireHost host(Open("VIRTUAL-NOADAPTER"));
    EXPECT_FALSE(sim::GetCts(port_));
    EXPECT_FALSE(sim::GetDsr(port_));
    host.PowerOn();
    host.Rts(true);
    host.Dtr(true);
    EXPECT_FALSE(sim::GetDsr(port_));
    EXPECT_FALSE(sim::GetCts(port_));
    EXPECT_FALSE(sim::GetDcd(port_));
    EXPECT_FALSE(sim::GetRi(port_));
    EXPECT_EQ(host.Read(4), 0);
    host.PowerOff();
}

TEST_F(AdapterTest, CallsOnAClosedOrUnknownPortDoNothing)
{
    sim::VirtualPort* port = Open("VIRTUAL");
    sim::CloseVirtualPort(port);
    port_ = nullptr;
    const auto record = sim::LastLineRecord();
    sim::SetRts(port, false);
    sim::SetDtr(nullptr, false);
    sim::SetBreak(port, true);
    EXPECT_FALSE(sim::GetCts(port));
    EXPECT_FALSE(sim::GetDsr(nullptr));
    sim::CloseVirtualPort(port);
    sim::CloseVirtualPort(nullptr);
    EXPECT_EQ(sim::LastLineRecord(), record);
}

TEST_F(AdapterTest, LineCallsFromSeveralThreadsAreAllRecorded)
{
    sim::VirtualPort* port = Open("VIRTUAL-EMPTY");
    constexpr int kToggles = 2000;
    auto toggle = [port](void (*set)(sim::VirtualPort*, bool)) {
        for (int i = 0; i < kToggles; ++i)
            set(port, i % 2 != 0);  // DTR and RTS start raised: every call is a change
    };
    std::atomic<bool> done = false;
    std::thread reader([&done] {
        while (!done)
            sim::LastLineRecord();
    });
    std::thread dtr(toggle, &sim::SetDtr);
    std::thread rts(toggle, &sim::SetRts);
    dtr.join();
    rts.join();
    done = true;
    reader.join();
    // Each change of DTR moves CTS, each change of RTS moves DSR.
    EXPECT_EQ(sim::LastLineRecord().size(), 5u + 4 * kToggles);
    EXPECT_TRUE(sim::GetCts(port));
    EXPECT_TRUE(sim::GetDsr(port));
}

}  // namespace
