// What the tools put on the wires, read back from the line record the virtual
// programmer leaves beside the chip: commands, data words, waits, and power
// only while a job runs.
#include "line_record_session.h"
#include "run_program.h"
#include "virtual_programmer.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const std::filesystem::path kBin = BENCH_BIN_DIR;
using Kind = sim::ChipEvent::Kind;

using Session = LineRecordSession;

Session RunAndRecord(const char* tool)
{
    ScratchDirectory dir("tools-record");
    dir.Write("Preferences.ini", "ComPortName=VIRTUAL\nVantrel_Delay=20\n");
    const ProgramRun run = RunProgram(kBin / tool, dir.path());
    EXPECT_EQ(run.exitCode, 0);
    Session session(sim::ReadVcd((dir.path() / "virtual-pic.vcd").string()));
    EXPECT_FALSE(session.lines.empty()) << tool;
    // No rule of the chip broken: data line released for reads, a word loaded
    // before programming, setup, hold and delay times kept.
    for (const sim::LineEvent& e : sim::ViolationsIn(session.lines))
        ADD_FAILURE() << tool << ": " << sim::LineName(e.line) << " at " << e.timeNs << " ns";
    return session;
}

TEST(ToolsOnTheWires, ProgramWriterErasesThenWritesOneToTen)
{
    const Session s = RunAndRecord("pic-write-program");
    EXPECT_EQ(s.Values(Kind::Command), Repeat({2, 9, 8}, {2, 8, 6}, 10));
    EXPECT_EQ(s.Values(Kind::DataIn), (std::vector<uint32_t>{0x3FFF, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(s.Values(Kind::PowerOn).size(), 2u) << "one power cycle after the erase";
    EXPECT_TRUE(s.Values(Kind::CycleSpoiled).empty()) << "every wait outlasted its cycle, the erase's too";
}

TEST(ToolsOnTheWires, DataWriterUsesTheDataCommandsAndShorterSettling)
{
    const Session s = RunAndRecord("pic-write-data");
    EXPECT_EQ(s.Values(Kind::Command), Repeat({3, 11, 8}, {3, 8, 6}, 10));
    EXPECT_EQ(s.Values(Kind::DataIn), (std::vector<uint32_t>{0x3FFF, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    const std::vector<double> gaps = s.GapsBeforeCommands();
    ASSERT_FALSE(gaps.empty());
    EXPECT_LT(gaps[0], 1000.0) << "200 ms, not the program writer's second";
}

TEST(ToolsOnTheWires, IdentifierWriterSkipsToTheConfigurationWord)
{
    const Session s = RunAndRecord("pic-write-ids");
    EXPECT_EQ(s.Values(Kind::Command),
              (std::vector<uint32_t>{0, 2, 8, 6, 2, 8, 6, 2, 8, 6, 2, 8, 6, 6, 6, 6, 2, 8}));
    EXPECT_EQ(s.Values(Kind::DataIn), (std::vector<uint32_t>{0x3FFF, 1, 2, 3, 4, 0x3FF1}));
    EXPECT_EQ(s.Values(Kind::CycleDone), (std::vector<uint32_t>{0x2000, 0x2001, 0x2002, 0x2003, 0x2007}));
}

TEST(ToolsOnTheWires, ReadersSendOnlyReadAndIncrement)
{
    const Session program = RunAndRecord("pic-read-program");
    EXPECT_EQ(program.Values(Kind::Command), Repeat({}, {4, 6}, 10));
    EXPECT_EQ(program.Values(Kind::DataOut).size(), 10u);

    for (const char* tool : {"pic-read-data", "pic-read-data-dyn"}) {
        const Session data = RunAndRecord(tool);
        EXPECT_EQ(data.Values(Kind::Command), Repeat({}, {5, 6}, 10)) << tool;
    }

    const Session ids = RunAndRecord("pic-read-ids");
    EXPECT_EQ(ids.Values(Kind::Command), (std::vector<uint32_t>{0, 4, 6, 4, 6, 4, 6, 4, 6, 6, 6, 6, 4}));
    EXPECT_TRUE(ids.Values(Kind::CycleStart).empty()) << "reading writes nothing";
}

TEST(ToolsOnTheWires, TargetIsPoweredOnlyInsideTheJob)
{
    for (const char* tool : {"pic-read-program", "pic-write-data", "pic-read-data-dyn"}) {
        const Session s = RunAndRecord(tool);
        // The presence test is the RTS pulse that DSR follows; the record's
        // opening state (RTS and DTR up at time 0) is no part of it.
        int64_t testPulseEnd = -1, firstPower = -1;
        bool rtsUp = false, dsrFollowed = false, powered = false;
        for (const sim::LineEvent& e : s.lines) {
            if (e.timeNs == 0)
                continue;
            if (e.line == sim::Line::Rts && testPulseEnd < 0) {
                if (e.level)
                    rtsUp = true;
                else if (rtsUp && dsrFollowed)
                    testPulseEnd = e.timeNs;
            }
            if (e.line == sim::Line::Dsr && e.level && rtsUp)
                dsrFollowed = true;
            if (e.line == sim::Line::Break) {
                if (e.level && firstPower < 0)
                    firstPower = e.timeNs;
                powered = e.level;
            }
        }
        ASSERT_GT(testPulseEnd, 0) << tool << ": no presence test on the wires";
        EXPECT_GT(firstPower, testPulseEnd) << tool;
        EXPECT_FALSE(powered) << tool << ": still powered at the end";
        EXPECT_EQ(s.Values(Kind::PowerOff).size(), s.Values(Kind::PowerOn).size()) << tool;
    }
}

// Each wait a job prescribes, measured on the chip's side from the event
// before it to the next thing the host does (a command, a data word, a power
// change). A wait that ends in a power change has the 40 ms that the power
// switch itself waits on top, so its bound is the sum: without it a dropped
// 20 ms would hide in those 40.
struct WaitBound {
    Kind anchor;         // the chip event the wait follows, or ends in
    int command;         // for Kind::Command, the command code; else -1
    int occurrence;      // which one of those events, -1 for the last
    bool endsInAnchor;   // the wait comes before the anchor, not after it
    double atLeastMs;
    const char* what;
};

struct ToolWaits {
    const char* tool;
    std::vector<WaitBound> waits;
};

std::vector<WaitBound> ProgrammingWaits(double firstSettling)
{
    std::vector<WaitBound> waits{
        {Kind::PowerOn, -1, 0, false, firstSettling, "settling after the first switch-on"},
        {Kind::Command, 8, 0, false, 20 + 40, "the erase, then the switch-off"},
        {Kind::PowerOff, -1, 0, false, 200 + 40, "off time of the power cycle"},
        {Kind::PowerOn, -1, 1, false, 200, "settling after the second switch-on"},
    };
    for (int pass = 1; pass <= 10; ++pass)
        waits.push_back({Kind::Command, 8, pass, false, 20, "programming time of one location"});
    waits.push_back({Kind::PowerOff, -1, -1, true, 100 + 40, "final wait, then the switch-off"});
    return waits;
}

const std::vector<WaitBound> kReadingWaits{
    {Kind::PowerOn, -1, 0, false, 1000, "settling after the switch-on"},
    {Kind::PowerOff, -1, -1, true, 100 + 40, "final wait, then the switch-off"},
};

const ToolWaits kToolWaits[] = {
    {"pic-read-ids", kReadingWaits},
    {"pic-read-data", kReadingWaits},
    {"pic-read-data-dyn", kReadingWaits},
    {"pic-read-program", kReadingWaits},
    {"pic-write-ids",
     {{Kind::PowerOn, -1, 0, false, 1000, "settling after the switch-on"},
      {Kind::Command, 8, 0, false, 20, "identifier 1"},
      {Kind::Command, 8, 1, false, 20, "identifier 2"},
      {Kind::Command, 8, 2, false, 20, "identifier 3"},
      {Kind::Command, 8, 3, false, 20, "identifier 4"},
      {Kind::Command, 8, 4, false, 100 + 40, "configuration word, then the switch-off"}}},
    {"pic-write-data", ProgrammingWaits(200)},
    {"pic-write-program", ProgrammingWaits(1000)},
};

void PrintTo(const ToolWaits& waits, std::ostream* out) { *out << waits.tool; }

class ToolWaitsOnTheWires : public ::testing::TestWithParam<ToolWaits> {};

TEST_P(ToolWaitsOnTheWires, EveryPrescribedWaitLastsAtLeastItsTime)
{
    const ToolWaits& expected = GetParam();
    const Session s = RunAndRecord(expected.tool);
    std::vector<sim::ChipEvent> host;  // what the host did, in order
    for (const sim::ChipEvent& e : s.chip)
        if (e.kind == Kind::PowerOn || e.kind == Kind::PowerOff || e.kind == Kind::Command ||
            e.kind == Kind::DataIn || e.kind == Kind::DataOut)
            host.push_back(e);
    for (const WaitBound& wait : expected.waits) {
        std::vector<std::size_t> matches;
        for (std::size_t i = 0; i < host.size(); ++i)
            if (host[i].kind == wait.anchor && (wait.command < 0 || host[i].value == uint32_t(wait.command)))
                matches.push_back(i);
        const std::size_t count = matches.size();
        ASSERT_TRUE(wait.occurrence < 0 ? count > 0 : std::size_t(wait.occurrence) < count) << wait.what;
        const std::size_t anchor = matches[wait.occurrence < 0 ? count - 1 : std::size_t(wait.occurrence)];
        const std::size_t from = wait.endsInAnchor ? anchor - 1 : anchor;
        ASSERT_TRUE(wait.endsInAnchor ? anchor > 0 : anchor + 1 < host.size()) << wait.what;
        EXPECT_GE((host[from + 1].timeNs - host[from].timeNs) / 1e6, wait.atLeastMs) << wait.what;
    }
}

INSTANTIATE_TEST_SUITE_P(EachTool, ToolWaitsOnTheWires, ::testing::ValuesIn(kToolWaits),
                         [](const ::testing::TestParamInfo<ToolWaits>& info) {
                             std::string name = info.param.tool;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
