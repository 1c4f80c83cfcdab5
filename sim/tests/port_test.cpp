// Opening the virtual port, its exclusivity, and the line record: as a VCD
// file and replayed through a fresh chip.
#include "wire_host.h"

#include "ini_text.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <unistd.h>

namespace {

using sim::ChipEvent;
using sim::Line;
using sim::LineEvent;
using simtest::WireHost;

class PortTest : public simtest::TempDirTest {};

TEST(PortNames, OnlyTheThreeFixturesOpen)
{
    EXPECT_TRUE(sim::IsVirtualPortName("VIRTUAL"));
    EXPECT_TRUE(sim::IsVirtualPortName("VIRTUAL-NOADAPTER"));
    EXPECT_FALSE(sim::IsVirtualPortName("COM1"));
    EXPECT_TRUE(sim::IsVirtualPortName("virtual-empty")) << "letter case does not matter, as for COM names on Windows";
    EXPECT_FALSE(sim::IsVirtualPortName("VIRTUA"));
    EXPECT_FALSE(sim::IsVirtualPortName(""));
    EXPECT_EQ(sim::OpenVirtualPort("VIRTUAL-X"), nullptr);
    EXPECT_EQ(sim::OpenVirtualPort("VIRTUALEMPTY"), nullptr);
    EXPECT_EQ(sim::OpenVirtualPort("COM1"), nullptr);
}

TEST_F(PortTest, SecondOpenInTheSameProcessFailsUntilClosed)
{
    sim::VirtualPort* port = sim::OpenVirtualPort("VIRTUAL");
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(sim::OpenVirtualPort("VIRTUAL"), nullptr);
    EXPECT_EQ(sim::OpenVirtualPort("VIRTUAL-EMPTY"), nullptr);
    sim::CloseVirtualPort(port);
    port = sim::OpenVirtualPort("VIRTUAL-EMPTY:9600,N,8,1");
    ASSERT_NE(port, nullptr);
    sim::CloseVirtualPort(port);
}

// A lock from another open file description acts as another process would.
int LockFromElsewhere()
{
    const int fd = ::open("virtual-pic.hex", O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

TEST_F(PortTest, FileLockKeepsOtherProcessesOut)
{
    const int other = LockFromElsewhere();
    ASSERT_GE(other, 0);
    EXPECT_EQ(sim::OpenVirtualPort("VIRTUAL"), nullptr);
    EXPECT_EQ(sim::OpenVirtualPort("VIRTUAL-NOADAPTER"), nullptr);
    ::close(other);

    sim::VirtualPort* port = sim::OpenVirtualPort("VIRTUAL");
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(LockFromElsewhere(), -1);
    sim::CloseVirtualPort(port);
    const int after = LockFromElsewhere();
    EXPECT_GE(after, 0);
    ::close(after);
}

// A short session with every kind of event: entry, load, program, read, spoil.
void RunSession(WireHost& host)
{
    host.PowerOn();
    host.Write(2, 0x1A5A);
    host.Increment();
    host.Write(3, 0x0033);
    host.Command(2);
    host.Word(0x0001);
    host.Command(8);
    host.Command(4);  // too early: spoils the cycle
    host.ReadWord();
    host.Command(4);
    host.ReadWord();
    host.PowerOff();
}

TEST_F(PortTest, VcdWrittenAtCloseReadsBackAsTheRecord)
{
    sim::VirtualPort* port = sim::OpenVirtualPort("VIRTUAL");
    ASSERT_NE(port, nullptr);
    WireHost host(port);
    RunSession(host);
    sim::CloseVirtualPort(port);

    const std::vector<LineEvent> record = sim::LastLineRecord();
    ASSERT_GT(record.size(), 100u);
    EXPECT_TRUE(sim::ViolationsIn(record).empty());
    EXPECT_EQ(sim::ReadVcd("virtual-pic.vcd"), record);
    ASSERT_TRUE(sim::WriteVcd(record, "copy.vcd"));
    EXPECT_EQ(sim::ReadVcd("copy.vcd"), record);

    const std::vector<LineEvent> hand = {{0, Line::Rts, true},  {0, Line::Cts, false},  {7, Line::Dsr, true},
                                         {7, Line::Dtr, false}, {9, Line::Break, true}, {9, Line::HoldTime, true}};
    ASSERT_TRUE(sim::WriteVcd(hand, "hand.vcd"));
    const std::string text = ReadFileText("hand.vcd").value_or("");
    EXPECT_NE(text.find("$timescale 1 ns $end"), std::string::npos);
    EXPECT_NE(text.find("$var event 1 h hold $end"), std::string::npos);
    EXPECT_NE(text.find("#0\n1r\n0c\n#7\n1s\n0d\n#9\n1b\n1h\n"), std::string::npos) << text;
    EXPECT_EQ(sim::ReadVcd("hand.vcd"), hand);
    // A record written before violations were declared still reads.
    std::string old;
    for (const char* line : {"$version bench virtual programmer $end", "$timescale 1 ns $end",
                                    "$scope module adapter $end", "$var wire 1 r rts $end", "$var wire 1 d dtr $end",
                                    "$var wire 1 b brk $end", "$var wire 1 c cts $end", "$var wire 1 s dsr $end",
                                    "$upscope $end", "$enddefinitions $end", "#0", "1r", "0c", "#7", "1s", "0d"})
        old += std::string(line) + "\n";
    std::ofstream("old.vcd", std::ios::binary) << old;
    EXPECT_EQ(sim::ReadVcd("old.vcd"), std::vector<LineEvent>(hand.begin(), hand.begin() + 4));
    EXPECT_FALSE(sim::WriteVcd(hand, "no-such-dir/x.vcd"));
}

TEST_F(PortTest, ForeignVcdFilesReadAsEmpty)
{
    const std::vector<LineEvent> hand = {{0, Line::Rts, true}, {5, Line::Dtr, true}};
    ASSERT_TRUE(sim::WriteVcd(hand, "good.vcd"));
    const std::string good = ReadFileText("good.vcd").value_or("");
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    const std::string foreign[] = {
        "",
        "not a dump at all",
        replaced("1 ns", "1 us"),                       // another time scale
        replaced("$var wire 1 s dsr $end\n", ""),       // a signal missing
        replaced("#5\n", "#5\nx"),                      // an unknown value
        replaced("#5", "#-5"),                          // time going back
        replaced("1d", "1q"),                           // an undeclared signal
        replaced("$enddefinitions $end\n#0\n", "$enddefinitions $end\n"),  // change before any time
    };
    for (const std::string& text : foreign) {
        std::ofstream("foreign.vcd", std::ios::binary | std::ios::trunc) << text;
        EXPECT_TRUE(sim::ReadVcd("foreign.vcd").empty()) << text;
    }
    EXPECT_TRUE(sim::ReadVcd("missing.vcd").empty());
}

TEST_F(PortTest, ReplayOfALiveRunGivesTheSameChipEvents)
{
    sim::VirtualPort* port = sim::OpenVirtualPort("VIRTUAL");
    ASSERT_NE(port, nullptr);
    WireHost host(port, false);  // the port's own steady clock, real waits
    RunSession(host);
    sim::CloseVirtualPort(port);

    const std::vector<ChipEvent> live = sim::LastChipRecord();
    EXPECT_TRUE(sim::ViolationsIn(sim::LastLineRecord()).empty()) << "line changes at least 1 us apart";
    EXPECT_EQ(simtest::ValuesOfKind(live, ChipEvent::CycleDone).size(), 2u);
    EXPECT_EQ(simtest::ValuesOfKind(live, ChipEvent::DataIn), (std::vector<uint32_t>{0x1A5A, 0x0033, 0x0001}));
    EXPECT_EQ(sim::ReplayLineRecord(sim::LastLineRecord()), live);
    EXPECT_EQ(sim::ReplayLineRecord(sim::ReadVcd("virtual-pic.vcd")), live);
}

// Power up, load all ones, send the commands, then one clock pulse pulseNs
// after the last command ended (startNs); line changes 1 us apart.
std::vector<LineEvent> CycleRecord(const std::vector<int>& commands, int64_t pulseNs, int64_t& startNs)
{
    std::vector<LineEvent> r = {{0, Line::Rts, false}, {0, Line::Dtr, false}, {10'000, Line::Break, true}};
    int64_t t = 100'000;
    auto send = [&](int value, int bits) {
        for (int bit = 0; bit < bits; ++bit) {
            r.push_back({t += 1000, Line::Dtr, ((value >> bit) & 1) != 0});
            r.push_back({t += 1000, Line::Rts, true});
            r.push_back({t += 1000, Line::Rts, false});
        }
    };
    send(2, 6);
    send(0x7FFE, 16);
    for (int command : commands)
        send(command, 6);
    startNs = t;
    r.push_back({t + pulseNs, Line::Rts, true});
    return r;
}

TEST_F(PortTest, ReplayOfAHandWrittenRecordTimesEachCycle)
{
    // The longest times the chip may take: 8 ms to program a location (with
    // or without erasing it first), 10 ms for a bulk erase.
    struct Cycle {
        std::vector<int> commands;
        int64_t maxNs;
    };
    const Cycle cycles[] = {{{8}, 8'000'000}, {{24}, 8'000'000}, {{9, 8}, 10'000'000}, {{11, 8}, 10'000'000}};
    for (const Cycle& cycle : cycles) {
        const int code = cycle.commands.front();
        int64_t start = 0;
        const auto early = sim::ReplayLineRecord(CycleRecord(cycle.commands, cycle.maxNs - 1, start));
        ASSERT_FALSE(early.empty());
        EXPECT_EQ(early.back().kind, ChipEvent::CycleSpoiled) << code;
        const auto late = sim::ReplayLineRecord(CycleRecord(cycle.commands, cycle.maxNs, start));
        ASSERT_FALSE(late.empty());
        EXPECT_EQ(late.back().kind, ChipEvent::CycleDone) << code;
        EXPECT_EQ(late.back().timeNs, start + cycle.maxNs) << code;
    }
}

}  // namespace
