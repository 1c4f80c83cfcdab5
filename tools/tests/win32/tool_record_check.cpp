// Run by tools_under_wine.sh in the working directory a tool has just left:
// what the tool put on the wires (virtual-pic.vcd, replayed through a fresh,
// erased chip model: commands, words sent, waits) and what the chip holds now
// (virtual-pic.hex). What a reader read is in its box, which the script
// checks. One suite per tool; the script picks it with --gtest_filter.
#include "line_record_session.h"
#include "virtual_programmer.h"

#include "ini_text.h"

#include <gtest/gtest.h>

namespace {

using Kind = sim::ChipEvent::Kind;

struct Session : LineRecordSession {
    Session() : LineRecordSession(sim::ReadVcd("virtual-pic.vcd")) {}

    // Power rises only after the presence test and is off at the end.
    void ExpectPowerOnlyInsideTheJob() const
    {
        int64_t firstBreak = -1, firstRts = -1;
        bool breakAtEnd = false;
        for (const sim::LineEvent& e : lines) {
            if (e.line == sim::Line::Rts && e.level && firstRts < 0)
                firstRts = e.timeNs;
            if (e.line == sim::Line::Break) {
                if (firstBreak < 0 && e.level)
                    firstBreak = e.timeNs;
                breakAtEnd = e.level;
            }
        }
        EXPECT_GT(firstBreak, firstRts);
        EXPECT_FALSE(breakAtEnd);
        EXPECT_EQ(Values(Kind::PowerOn).size(), Values(Kind::PowerOff).size());
    }
};

sim::ChipMemory Chip()
{
    sim::ChipMemory memory = sim::ErasedChipMemory();
    std::string error;
    EXPECT_TRUE(ChipMemoryFromHex(ReadFileText("virtual-pic.hex").value_or(""), memory, error)) << error;
    return memory;
}

TEST(WriteProgram, ErasesThenWritesOneToTenWithItsWaits)
{
    const Session s;
    ASSERT_FALSE(s.lines.empty());
    EXPECT_EQ(s.Values(Kind::Command), Repeat({2, 9, 8}, {2, 8, 6}, 10));
    EXPECT_EQ(s.Values(Kind::DataIn), (std::vector<uint32_t>{0x3FFF, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_TRUE(s.Values(Kind::CycleSpoiled).empty()) << "every wait outlasted its cycle";
    const std::vector<double> gaps = s.GapsBeforeCommands();
    ASSERT_EQ(gaps.size(), 33u);
    EXPECT_GE(gaps[0], 1000.0) << "settling after the first switch-on";
    EXPECT_GE(gaps[3], 200.0) << "settling after the switch-on that follows the erase";
    s.ExpectPowerOnlyInsideTheJob();
    const sim::ChipMemory chip = Chip();
    EXPECT_EQ(std::vector<uint32_t>(chip.program, chip.program + 11),
              (std::vector<uint32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0x3FFF}));
}

TEST(WriteData, UsesTheDataCommandsAndShorterSettling)
{
    const Session s;
    EXPECT_EQ(s.Values(Kind::Command), Repeat({3, 11, 8}, {3, 8, 6}, 10));
    EXPECT_EQ(s.Values(Kind::DataIn), (std::vector<uint32_t>{0x3FFF, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    const std::vector<double> gaps = s.GapsBeforeCommands();
    ASSERT_FALSE(gaps.empty());
    EXPECT_GE(gaps[0], 200.0);
    EXPECT_LT(gaps[0], 1000.0);
    s.ExpectPowerOnlyInsideTheJob();
    const sim::ChipMemory chip = Chip();
    EXPECT_EQ(std::vector<uint32_t>(chip.data, chip.data + 11),
              (std::vector<uint32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0xFF}));
}

TEST(WriteIds, SkipsToTheConfigurationWord)
{
    const Session s;
    EXPECT_EQ(s.Values(Kind::Command), (std::vector<uint32_t>{0, 2, 8, 6, 2, 8, 6, 2, 8, 6, 2, 8, 6, 6, 6, 6, 2, 8}));
    EXPECT_EQ(s.Values(Kind::DataIn), (std::vector<uint32_t>{0x3FFF, 1, 2, 3, 4, 0x3FF1}));
    EXPECT_EQ(s.Values(Kind::CycleDone), (std::vector<uint32_t>{0x2000, 0x2001, 0x2002, 0x2003, 0x2007}));
    const sim::ChipMemory chip = Chip();
    EXPECT_EQ(std::vector<uint32_t>(chip.config, chip.config + 4), (std::vector<uint32_t>{1, 2, 3, 4}));
    EXPECT_EQ(chip.config[7], 0x3FF1);
}

TEST(ReadProgram, SendsOnlyReadAndIncrement)
{
    const Session s;
    EXPECT_EQ(s.Values(Kind::Command), Repeat({}, {4, 6}, 10));
    EXPECT_EQ(s.Values(Kind::DataOut).size(), 10u);
    EXPECT_GE(s.GapsBeforeCommands().at(0), 1000.0);
    EXPECT_TRUE(s.Values(Kind::CycleStart).empty()) << "reading writes nothing";
    s.ExpectPowerOnlyInsideTheJob();
}

TEST(ReadData, SendsOnlyReadAndIncrement)
{
    const Session s;
    EXPECT_EQ(s.Values(Kind::Command), Repeat({}, {5, 6}, 10));
    EXPECT_EQ(s.Values(Kind::DataOut).size(), 10u);
    EXPECT_TRUE(s.Values(Kind::CycleStart).empty());
    s.ExpectPowerOnlyInsideTheJob();
}

TEST(ReadIds, ReadsFourIdentifiersThenTheConfigurationWord)
{
    const Session s;
    EXPECT_EQ(s.Values(Kind::Command), (std::vector<uint32_t>{0, 4, 6, 4, 6, 4, 6, 4, 6, 6, 6, 6, 4}));
    EXPECT_EQ(s.Values(Kind::DataOut).size(), 5u);
    EXPECT_TRUE(s.Values(Kind::CycleStart).empty());
}

}  // namespace
