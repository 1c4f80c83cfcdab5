// What the tools put on the wires, read back from the line record the virtual
// programmer leaves beside the chip: commands, data words, waits, and power
// only while a job runs.
#include "run_program.h"
#include "virtual_programmer.h"

#include <gtest/gtest.h>

namespace {

const std::filesystem::path kBin = BENCH_BIN_DIR;
using Kind = sim::ChipEvent::Kind;

struct Session {
    std::vector<sim::LineEvent> lines;
    std::vector<sim::ChipEvent> chip;

    std::vector<uint32_t> Values(Kind kind) const
    {
        std::vector<uint32_t> values;
        for (const sim::ChipEvent& e : chip)
            if (e.kind == kind)
                values.push_back(e.value);
        return values;
    }
    // Milliseconds between consecutive commands, the first counted from power-on.
    std::vector<double> GapsBeforeCommands() const
    {
        std::vector<double> gaps;
        int64_t last = -1;
        for (const sim::ChipEvent& e : chip) {
            if (e.kind == Kind::PowerOn)
                last = e.timeNs;
            if (e.kind == Kind::Command) {
                gaps.push_back(last < 0 ? 0 : (e.timeNs - last) / 1e6);
                last = e.timeNs;
            }
        }
        return gaps;
    }
};

Session RunAndRecord(const char* tool)
{
    ScratchDirectory dir("tools-record");
    dir.Write("Preferences.ini", "ComPortName=VIRTUAL\nVantrel_Delay=20\n");
    const ProgramRun run = RunProgram(kBin / tool, dir.path());
    EXPECT_EQ(run.exitCode, 0);
    Session session;
    session.lines = sim::ReadVcd((dir.path() / "virtual-pic.vcd").string());
    session.chip = sim::ReplayLineRecord(session.lines);
    EXPECT_FALSE(session.lines.empty()) << tool;
    // No rule of the chip broken: data line released for reads, a word loaded
    // before programming, setup, hold and delay times kept.
    for (const sim::LineEvent& e : sim::ViolationsIn(session.lines))
        ADD_FAILURE() << tool << ": " << sim::LineName(e.line) << " at " << e.timeNs << " ns";
    return session;
}

std::vector<uint32_t> Repeat(std::vector<uint32_t> head, const std::vector<uint32_t>& pass, int times)
{
    for (int i = 0; i < times; ++i)
        head.insert(head.end(), pass.begin(), pass.end());
    return head;
}

TEST(ToolsOnTheWires, ProgramWriterErasesThenWritesOneToTen)
{
    const Session s = RunAndRecord("pic-write-program");
    EXPECT_EQ(s.Values(Kind::Command), Repeat({2, 9, 8}, {2, 8, 6}, 10));
    EXPECT_EQ(s.Values(Kind::DataIn), (std::vector<uint32_t>{0x3FFF, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(s.Values(Kind::PowerOn).size(), 2u) << "one power cycle after the erase";
    EXPECT_TRUE(s.Values(Kind::CycleSpoiled).empty()) << "every wait outlasted its cycle, the erase's too";
    const std::vector<double> gaps = s.GapsBeforeCommands();
    ASSERT_EQ(gaps.size(), 33u);
    EXPECT_GE(gaps[0], 1000.0) << "settling after the first switch-on";
    EXPECT_GE(gaps[3], 200.0) << "settling after the switch-on that follows the erase";
    for (std::size_t pass = 0; pass < 10; ++pass)
        EXPECT_GE(gaps[3 + 3 * pass + 2], 20.0) << "programming wait in pass " << pass;
}

TEST(ToolsOnTheWires, DataWriterUsesTheDataCommandsAndShorterSettling)
{
    const Session s = RunAndRecord("pic-write-data");
    EXPECT_EQ(s.Values(Kind::Command), Repeat({3, 11, 8}, {3, 8, 6}, 10));
    EXPECT_EQ(s.Values(Kind::DataIn), (std::vector<uint32_t>{0x3FFF, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    const std::vector<double> gaps = s.GapsBeforeCommands();
    ASSERT_FALSE(gaps.empty());
    EXPECT_GE(gaps[0], 200.0);
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
    EXPECT_GE(program.GapsBeforeCommands().at(0), 1000.0);

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
        // Power comes after the presence test (RTS up and down) and is off at the end.
        int64_t firstBreak = -1, lastRtsOfTest = -1;
        bool breakAtEnd = false, rtsSeen = false;
        for (const sim::LineEvent& e : s.lines) {
            if (e.line == sim::Line::Rts && firstBreak < 0 && rtsSeen == false && e.level) {
                rtsSeen = true;
                lastRtsOfTest = e.timeNs;
            }
            if (e.line == sim::Line::Break) {
                if (firstBreak < 0 && e.level)
                    firstBreak = e.timeNs;
                breakAtEnd = e.level;
            }
        }
        EXPECT_GT(firstBreak, lastRtsOfTest) << tool;
        EXPECT_FALSE(breakAtEnd) << tool;
        EXPECT_EQ(s.Values(Kind::PowerOn).size(), s.Values(Kind::PowerOff).size()) << tool;
    }
}

}  // namespace
