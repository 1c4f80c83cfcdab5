// The PIC16F84A model driven through the port, bit by bit, as a programmer does.
#include "pic_chip.h"
#include "wire_host.h"

#include <algorithm>
#include <ostream>
#include <tuple>

namespace sim {
// Parameterised tests name the chip, not the bytes of its record.
void PrintTo(const ChipModel& model, std::ostream* os) { *os << model.name; }
}  // namespace sim

namespace {

using sim::ChipEvent;
using simtest::ValuesOfKind;
using simtest::WireHost;

class ChipTest : public simtest::TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        port_ = sim::OpenVirtualPort("VIRTUAL");
        ASSERT_NE(port_, nullptr);
    }

    // A test that breaks a rule of the chip on purpose says which; every other
    // test must keep to all of them.
    void TearDown() override
    {
        sim::CloseVirtualPort(port_);
        EXPECT_EQ(simtest::ViolationNames(sim::LastLineRecord()), expectedViolations_);
        TempDirTest::TearDown();
    }

    sim::VirtualPort* port_ = nullptr;
    std::vector<std::string> expectedViolations_;
};

TEST_F(ChipTest, EntersProgrammingModeOnlyWithClockAndDataLow)
{
    WireHost host(port_);
    host.PowerOn();
    host.Write(2, 0x1234);
    host.Increment(3);
    host.PowerOff();

    // The location counter starts at 0 again on entry.
    host.PowerOn();
    EXPECT_EQ(host.Read(4), 0x1234);
    host.PowerOff();

    const size_t eventsBefore = sim::LastChipRecord().size();
    // Data high at the rise: the chip just runs and ignores the clock, so the
    // host reads back its own released data line.
    host.Rts(false);
    host.Dtr(true);
    host.Power(true);
    EXPECT_EQ(host.Read(4), 0x3FFF);
    host.PowerOff();
    // Clock high at the rise.
    host.Dtr(false);
    host.Rts(true);
    host.Power(true);
    host.Command(4);
    host.Dtr(false);
    EXPECT_FALSE(sim::GetCts(port_));
    host.PowerOff();
    EXPECT_EQ(sim::LastChipRecord().size(), eventsBefore);
}

TEST_F(ChipTest, UnknownCommandsAreIgnored)
{
    WireHost host(port_);
    host.PowerOn();
    host.Write(2, 0x0ABC);
    host.Command(1);
    host.Command(63);
    host.Command(7);
    // Had any of them taken data or moved the counter, this read would be off.
    EXPECT_EQ(host.Read(4), 0x0ABC);
    EXPECT_EQ(ValuesOfKind(sim::LastChipRecord(), ChipEvent::Command),
              (std::vector<uint32_t>{2, 8, 1, 63, 7, 4}));
}

TEST_F(ChipTest, ProgramMemoryRoundTrip)
{
    WireHost host(port_);
    host.PowerOn();
    const int words[] = {0x2805, 0x0000, 0x3FFE, 0x1555};
    for (int word : words) {
        host.Write(2, word);
        host.Increment();
    }
    host.PowerOff();
    host.PowerOn();
    for (int word : words) {
        EXPECT_EQ(host.Read(4), word);
        host.Increment();
    }
    host.PowerOff();

    const auto events = sim::LastChipRecord();
    EXPECT_EQ(ValuesOfKind(events, ChipEvent::DataIn), (std::vector<uint32_t>{0x2805, 0x0000, 0x3FFE, 0x1555}));
    EXPECT_EQ(ValuesOfKind(events, ChipEvent::DataOut), (std::vector<uint32_t>{0x2805, 0x0000, 0x3FFE, 0x1555}));
    EXPECT_EQ(ValuesOfKind(events, ChipEvent::CycleStart), (std::vector<uint32_t>{0, 1, 2, 3}));
    EXPECT_EQ(ValuesOfKind(events, ChipEvent::CycleDone), (std::vector<uint32_t>{0, 1, 2, 3}));
    EXPECT_TRUE(ValuesOfKind(events, ChipEvent::CycleSpoiled).empty());
    EXPECT_EQ(ValuesOfKind(events, ChipEvent::PowerOn).size(), 2u);
    EXPECT_EQ(ValuesOfKind(events, ChipEvent::PowerOff).size(), 2u);
}

TEST_F(ChipTest, ConfigurationAreaRoundTrip)
{
    WireHost host(port_);
    host.PowerOn();
    host.Write(2, 0x0123);  // program word 0 must stay apart from 0x2000
    host.Write(0, 0x0001);  // counter to 0x2000, identifier 0
    for (int id = 2; id <= 4; ++id) {
        host.Increment();
        host.Write(2, id);
    }
    host.Increment(3);      // 0x2006
    host.Write(2, 0x0000);  // the device id is read-only
    host.Increment();
    host.Write(2, 0x3FF1);
    host.PowerOff();

    host.PowerOn();
    EXPECT_EQ(host.Read(4), 0x0123);
    host.Command(0);
    host.Word(0x3FFF);
    const int expected[] = {0x0001, 0x0002, 0x0003, 0x0004, 0x3FFF, 0x3FFF, 0x0560, 0x3FF1};
    for (int word : expected) {
        EXPECT_EQ(host.Read(4), word);
        host.Increment();
    }
    // 0x2008 answers as 0x2000: only the low address bits decode.
    EXPECT_EQ(host.Read(4), 0x0001);
}

TEST_F(ChipTest, DataMemoryRoundTripKeepsLowByteAndWrapsAt64)
{
    WireHost host(port_);
    host.PowerOn();
    host.Write(3, 0x3FA5);  // only the low 8 bits are data
    host.Increment(63);
    host.Write(3, 0x005A);
    EXPECT_EQ(host.Read(5), 0x005A);
    host.Increment();
    EXPECT_EQ(host.Read(5), 0x00A5);
    host.Increment();
    EXPECT_EQ(host.Read(5), 0x00FF);
    // Program memory at 0 was not touched by the data writes.
    host.PowerOff();
    host.PowerOn();
    EXPECT_EQ(host.Read(4), 0x3FFF);
}

TEST_F(ChipTest, LocationCounterWrapsWithinItsArea)
{
    WireHost host(port_);
    host.PowerOn();
    host.Write(2, 0x0111);
    host.Increment(1024);
    EXPECT_EQ(host.Read(4), 0x0111);  // 0x400 aliases 0: ten address bits
    host.Increment(0x2000 - 1024);    // 0x1FFF + 1 comes back to 0
    host.Write(2, 0x0222);
    host.Write(0, 0x0333);
    host.Increment(0x2000);  // 0x3FFF + 1 comes back to 0x2000
    host.Write(2, 0x0444);
    EXPECT_EQ(ValuesOfKind(sim::LastChipRecord(), ChipEvent::CycleStart),
              (std::vector<uint32_t>{0x0000, 0x0000, 0x2000, 0x2000}));
    EXPECT_EQ(host.Read(4), 0x0444);
}

// Program memory 0 = 0x0AAA, identifier 0 = 0x0005, configuration word 0x3FF1, data 0 = 0x42.
void FillChip(WireHost& host)
{
    host.PowerOn();
    host.Write(2, 0x0AAA);
    host.Write(3, 0x0042);
    host.Write(0, 0x0005);
    host.Increment(7);
    host.Write(2, 0x3FF1);
    host.PowerOff();
}

struct ChipContents {
    int program0, id0, config, data0;
};

ChipContents ReadChip(WireHost& host)
{
    ChipContents c{};
    host.PowerOn();
    c.program0 = host.Read(4);
    c.data0 = host.Read(5);
    host.Command(0);
    host.Word(0x3FFF);
    c.id0 = host.Read(4);
    host.Increment(7);
    c.config = host.Read(4);
    host.PowerOff();
    return c;
}

// All ones loaded first, as the part wants; waitNs after the begin-programming command.
void BulkErase(WireHost& host, int loadCommand, int eraseCommand, int64_t waitNs = 20'000'000)
{
    host.PowerOn();
    host.Command(loadCommand);
    host.Word(0x3FFF);
    host.Command(eraseCommand);
    host.Command(8);
    host.Wait(waitNs);
    host.PowerOff();
}

TEST_F(ChipTest, BulkErases)
{
    WireHost host(port_);
    FillChip(host);
    BulkErase(host, 2, 9);
    ChipContents c = ReadChip(host);
    EXPECT_EQ(c.program0, 0x3FFF);
    EXPECT_EQ(c.id0, 0x0005);  // the counter was in program memory
    EXPECT_EQ(c.config, 0x3FF1);
    EXPECT_EQ(c.data0, 0x0042);

    FillChip(host);
    BulkErase(host, 0, 9);
    c = ReadChip(host);
    EXPECT_EQ(c.program0, 0x3FFF);
    EXPECT_EQ(c.id0, 0x3FFF);
    EXPECT_EQ(c.config, 0x3FFF);
    EXPECT_EQ(c.data0, 0x0042);

    FillChip(host);
    BulkErase(host, 3, 11);
    c = ReadChip(host);
    EXPECT_EQ(c.data0, 0x00FF);
    EXPECT_EQ(c.program0, 0x0AAA);
    EXPECT_EQ(c.config, 0x3FF1);

    BulkErase(host, 2, 9, 9'000'000);  // power taken before the 10 ms are over
    EXPECT_EQ(ReadChip(host).program0, 0x0AAA);
}

TEST_F(ChipTest, BulkEraseIsOnlyArmedUntilTheNextCommand)
{
    WireHost host(port_);
    FillChip(host);
    host.PowerOn();
    host.Command(9);
    host.Command(2);  // disarms; the 8 below programs one word
    host.Word(0x0777);
    host.Command(8);
    host.Wait(20'000'000);
    host.PowerOff();
    EXPECT_EQ(ReadChip(host).program0, 0x0777);
}

TEST_F(ChipTest, ProgrammingOnlyCycleAndsTheLatchIntoTheOldContent)
{
    WireHost host(port_);
    host.PowerOn();
    host.Write(2, 0x0F0F);
    host.Write(2, 0x3355, 24);
    EXPECT_EQ(host.Read(4), 0x0305);
    host.Write(3, 0x00F0);
    host.Write(3, 0x003C, 24);
    EXPECT_EQ(host.Read(5), 0x0030);
}

TEST_F(ChipTest, CycleCutShortByTheNextCommandOrPowerOffIsSpoiled)
{
    WireHost host(port_);
    host.PowerOn();
    host.Write(2, 0x1234);
    host.Increment();
    host.Write(2, 0x00FF);

    host.Command(2);
    host.Word(0x000F);
    host.Command(24);
    host.Wait(7'990'000);  // the next clock rises just under the 8 ms it may take
    EXPECT_EQ(host.Read(4), 0x00FF);  // never programmed

    host.Command(2);
    host.Word(0x0000);
    host.Command(8);
    host.Wait(7'990'000);
    EXPECT_EQ(host.Read(4), 0x3FFF);  // erased, never programmed
    host.PowerOff();

    host.PowerOn();
    host.Command(2);
    host.Word(0x0000);
    host.Command(8);
    host.PowerOff();
    host.PowerOn();
    EXPECT_EQ(host.Read(4), 0x3FFF);
    host.PowerOff();

    const auto events = sim::LastChipRecord();
    EXPECT_EQ(ValuesOfKind(events, ChipEvent::CycleDone), (std::vector<uint32_t>{0, 1}));
    EXPECT_EQ(ValuesOfKind(events, ChipEvent::CycleSpoiled), (std::vector<uint32_t>{1, 1, 0}));
}

TEST_F(ChipTest, ChipDrivesTheDataLineFromClock2ToTheRiseOfClock16)
{
    WireHost host(port_);
    host.PowerOn();
    host.Write(2, 0x1FFE);  // bits 0 and 13 clear: the chip pulls the released line low there
    host.Command(4);
    host.Dtr(true);
    std::vector<bool> whileHigh;
    std::vector<bool> afterFall;
    for (int clock = 1; clock <= 16; ++clock) {
        host.Rts(true);
        host.Wait(1000);  // the chip's bit is valid a while after the rise
        whileHigh.push_back(sim::GetCts(port_));
        host.Rts(false);
        afterFall.push_back(sim::GetCts(port_));
    }
    std::vector<bool> expected(16, true);
    expected[1] = false;   // clock 2: bit 0
    expected[14] = false;  // clock 15: bit 13, let go at the next rise
    EXPECT_EQ(whileHigh, expected);
    EXPECT_EQ(afterFall, expected);
}

TEST_F(ChipTest, ReadThatDoesNotReleaseTheDataLineIsRecordedAsAFight)
{
    WireHost host(port_);
    host.PowerOn();
    host.Write(2, 0x3FFF);
    host.Command(4);
    host.Dtr(false);  // still pulling low: the line reads low whatever the chip puts out
    for (bool bit : host.ReadClocks(false))
        EXPECT_FALSE(bit);
    // Released, then pulled down in the middle of the next read; and a bit
    // read at the very moment of the rise that puts it out.
    host.Command(4);
    host.Dtr(true);
    host.ReadBit();
    host.ReadBit();
    host.Dtr(false);
    host.Dtr(true);
    host.Rts(true);
    EXPECT_TRUE(sim::GetCts(port_));
    expectedViolations_ = {"contention", "contention", "early_read"};
}

TEST_F(ChipTest, BeginProgrammingWithNoWordLoadedSincePowerOnIsRecorded)
{
    WireHost host(port_);
    host.PowerOn();
    host.Command(9);
    host.Command(8);  // the bulk erase wants all ones loaded first
    host.Wait(20'000'000);
    host.Write(2, 0x0123);  // loaded: fine from here on
    host.Command(24);
    host.Wait(20'000'000);
    host.PowerOff();
    host.PowerOn();  // the load does not outlive the power
    host.Command(24);
    host.Wait(20'000'000);
    host.PowerOff();
    expectedViolations_ = {"unloaded", "unloaded"};
}

// Changes that come less than 1 us apart are simultaneous for the chip.
TEST_F(ChipTest, SimultaneousChangesBreakSetupHoldAndDelayTimes)
{
    WireHost host(port_);
    host.Rts(false);
    host.Dtr(false);
    host.Simultaneous();
    host.Power(true);  // data fell with the power's rise: setup
    host.Rts(true);    // 1 us after the rise, under the 5 us: hold
    host.Wait(10'000);
    host.Rts(false);   // bit 0 of a command: 0
    host.Rts(true);
    host.Dtr(true);
    host.Simultaneous();
    host.Rts(false);  // bit 1, data changed with the latching fall: setup
    host.Simultaneous();
    host.Dtr(false);  // and right after it: hold
    for (int bit = 2; bit < 6; ++bit)
        host.SendBit(true);  // command 62, unknown
    host.Simultaneous();
    host.Rts(true);  // the next command starts with no delay after the last one
    host.Rts(false);
    host.PowerOff();
    expectedViolations_ = {"setup", "hold", "setup", "hold", "delay"};
    EXPECT_EQ(ValuesOfKind(sim::LastChipRecord(), ChipEvent::Command), (std::vector<uint32_t>{62}));
}

}  // namespace

// A chip driven through VIRTUAL-<chip>, with the times of its family's table.
class NamedChipTest : public simtest::TempDirTest, public ::testing::WithParamInterface<sim::ChipModel> {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        port_ = sim::OpenVirtualPort(std::string("VIRTUAL-") + GetParam().name);
        ASSERT_NE(port_, nullptr);
    }
    void TearDown() override
    {
        sim::CloseVirtualPort(port_);
        EXPECT_TRUE(simtest::ViolationNames(sim::LastLineRecord()).empty());
        TempDirTest::TearDown();
    }
    int64_t CycleNs(sim::CycleKind kind, sim::MemorySpace space) const
    {
        return sim::CycleLengthNs(GetParam().family, kind, space);
    }
    // A host whose writes keep to the chip's way of ending a cycle.
    WireHost Host() const
    {
        WireHost host(port_);
        if (sim::ExternallyTimed(GetParam().family))
            host.EndCyclesWith(23);
        return host;
    }
    sim::VirtualPort* port_ = nullptr;
};

// Each chip of the self-timed-erase family: its own device id and sizes,
// waits from its family's table (a wait short by 10 us leaves the location
// unprogrammed), erases that need no Begin Programming, and no
// programming-only command.
class SelfTimedEraseChipTest : public NamedChipTest {};

TEST_P(SelfTimedEraseChipTest, ProgramsWithinItsTableTimesAndErasesWithoutBeginProgramming)
{
    const sim::ChipModel& model = GetParam();
    const int64_t programNs = CycleNs(sim::CycleKind::EraseProgram, sim::MemorySpace::Program);
    const int64_t dataNs = CycleNs(sim::CycleKind::EraseProgram, sim::MemorySpace::Data);
    const int64_t eraseNs = CycleNs(sim::CycleKind::BulkProgram, sim::MemorySpace::Program);
    ASSERT_GT(programNs, 0);
    ASSERT_GT(dataNs, 0);
    ASSERT_GT(eraseNs, 0);
    EXPECT_EQ(CycleNs(sim::CycleKind::ProgramOnly, sim::MemorySpace::Program), 0) << "no such cycle";

    WireHost host(port_);
    host.PowerOn();
    host.Command(2);
    host.Word(0x1234);
    host.Command(8);
    host.Wait(programNs - 10'000);
    EXPECT_EQ(host.Read(4), 0x3FFF) << "cut short";
    host.Command(2);
    host.Word(0x1234);
    host.Command(8);
    host.Wait(programNs);
    EXPECT_EQ(host.Read(4), 0x1234);

    host.Command(2);
    host.Word(0x0000);
    host.Command(24);  // not a command of this chip
    host.Wait(20'000'000);
    EXPECT_EQ(host.Read(4), 0x1234);

    host.Command(3);
    host.Word(0x5A);
    host.Command(8);
    host.Wait(dataNs - 10'000);
    EXPECT_EQ(host.Read(5), 0xFF) << "cut short";
    host.Command(3);
    host.Word(0x5A);
    host.Command(8);
    host.Wait(dataNs);
    EXPECT_EQ(host.Read(5), 0x5A);

    // The last data byte, then one further, which is the first again.
    host.Increment(model.dataBytes - 1);
    host.Write(3, 0xA5);
    EXPECT_EQ(host.Read(5), 0xA5);
    host.Increment();
    EXPECT_EQ(host.Read(5), 0x5A);
    host.PowerOff();

    host.PowerOn();
    host.Write(0, 0x0001);  // identifier 0
    host.Increment(6);
    EXPECT_EQ(host.Read(4), model.deviceId);
    host.Increment();
    host.Write(2, 0x0000);  // configuration: unimplemented bits read 0
    EXPECT_EQ(host.Read(4), 0x0000);
    host.PowerOff();

    // From the configuration area, erase takes identifiers and configuration too.
    host.PowerOn();
    host.Command(0);
    host.Word(0x3FFF);
    host.Command(9);
    host.Wait(eraseNs);
    host.Command(11);
    host.Wait(eraseNs);
    EXPECT_EQ(host.Read(4), 0x3FFF);
    host.Increment(7);
    EXPECT_EQ(host.Read(4), model.configMask);
    host.PowerOff();
    host.PowerOn();
    EXPECT_EQ(host.Read(4), 0x3FFF);
    EXPECT_EQ(host.Read(5), 0xFF);
    host.PowerOff();
}

std::vector<sim::ChipModel> SelfTimedEraseChips()
{
    std::vector<sim::ChipModel> chips;
    for (const sim::ChipModel& model : sim::kChipModels)
        if (model.family == sim::ChipFamily::Pic16f62xa)
            chips.push_back(model);
    return chips;
}

INSTANTIATE_TEST_SUITE_P(Chips, SelfTimedEraseChipTest, ::testing::ValuesIn(SelfTimedEraseChips()),
                         [](const auto& info) { return std::string(info.param.name); });

// Each chip with code protection, driven through VIRTUAL-<chip>: once its
// configuration word turns protection on, protected memory reads the model's
// protected value while the identifiers and the configuration word stay
// readable; a bulk erase other than the chip's own clearing one leaves the
// protection on; the clearing one leaves the whole chip erased.
class ProtectedChipTest : public NamedChipTest {
protected:
    // A bulk erase started, and ended, as the chip's family does it.
    void Erase(WireHost& host, int command)
    {
        host.Command(command);
        if (GetParam().family != sim::ChipFamily::Pic16f62xa)
            host.Command(8);
        host.Wait(20'000'000);
        if (sim::ExternallyTimed(GetParam().family))
            host.Command(23);
    }
};

TEST_P(ProtectedChipTest, ReadsProtectedUntilItsOwnEraseClearsTheChip)
{
    const sim::ChipModel& model = GetParam();
    const int protectedConfig = model.configMask & ~(model.cpMask | model.cpdMask);
    WireHost host = Host();
    FillChip(host);
    host.PowerOn();
    host.Command(0);
    host.Word(0x3FFF);
    host.Increment(7);
    host.Write(2, protectedConfig);
    host.PowerOff();

    host.PowerOn();
    EXPECT_EQ(host.Read(4), model.protectedRead);
    EXPECT_EQ(host.Read(5), model.cpdMask != 0 ? model.protectedRead : 0x42);
    host.PowerOff();
    ChipContents c = ReadChip(host);
    EXPECT_EQ(c.id0, 0x0005);
    EXPECT_EQ(c.config, protectedConfig);

    // Program memory erased from where the chip's clearing erase does not start.
    const bool setupSequence = model.protectionClear == sim::ProtectionClear::EraseSetupSequence;
    host.PowerOn();
    host.Command(setupSequence ? 0 : 2);
    host.Word(0x3FFF);
    Erase(host, 9);
    host.PowerOff();
    EXPECT_EQ(ReadChip(host).config, protectedConfig);

    host.PowerOn();
    host.Command(0);
    host.Word(0x3FFF);
    if (model.protectionClear == sim::ProtectionClear::ChipErase) {
        host.Command(31);
        host.Wait(CycleNs(sim::CycleKind::ChipErase, sim::MemorySpace::Program));
    } else if (setupSequence) {
        host.Increment(7);
        for (int command : {1, 7, 8})
            host.Command(command);
        host.Wait(sim::CycleLengthNs(model.family, sim::CycleKind::ChipErase, sim::MemorySpace::Program));
        host.Command(1);
        host.Command(7);
    } else {
        Erase(host, 9);
        Erase(host, 11);
    }
    host.PowerOff();
    c = ReadChip(host);
    EXPECT_EQ(c.program0, 0x3FFF);
    EXPECT_EQ(c.data0, 0xFF);
    EXPECT_EQ(c.id0, 0x3FFF);
    EXPECT_EQ(c.config, model.configMask);
}

std::vector<sim::ChipModel> ProtectableChips()
{
    std::vector<sim::ChipModel> chips;
    for (const sim::ChipModel& model : sim::kChipModels)
        if (model.cpMask != 0)
            chips.push_back(model);
    return chips;
}

INSTANTIATE_TEST_SUITE_P(Chips, ProtectedChipTest, ::testing::ValuesIn(ProtectableChips()),
                         [](const auto& info) { return std::string(info.param.name); });

// The chips erased by the bulk erase setup sequence (PIC16F84, PIC16C84,
// PIC16F627/628): Begin Erase/Programming within its table time; Begin
// Programming Only where the family has it and nothing where it does not; the
// setup sequence at the configuration word erasing the whole chip, and given
// after Load Data for Data Memory only the data.
class SetupEraseChipTest : public NamedChipTest {};

TEST_P(SetupEraseChipTest, ProgramsWithinItsTableTimesAndErasesBySetupSequence)
{
    const sim::ChipModel& model = GetParam();
    const int64_t programNs = CycleNs(sim::CycleKind::EraseProgram, sim::MemorySpace::Program);
    const int64_t dataNs = CycleNs(sim::CycleKind::EraseProgram, sim::MemorySpace::Data);
    const int64_t onlyNs = CycleNs(sim::CycleKind::ProgramOnly, sim::MemorySpace::Program);
    const int64_t chipEraseNs = CycleNs(sim::CycleKind::ChipErase, sim::MemorySpace::Program);
    const int64_t dataEraseNs = CycleNs(sim::CycleKind::BulkData, sim::MemorySpace::Data);
    ASSERT_GT(chipEraseNs, 0);
    const auto setupErase = [](WireHost& host, int64_t waitNs) {
        host.Command(1);
        host.Command(7);
        host.Command(8);
        host.Wait(waitNs);
        host.Command(1);
        host.Command(7);
    };

    WireHost host(port_);
    host.PowerOn();
    for (const auto& [load, read, word, ns] : {std::tuple{2, 4, 0x1234, programNs}, std::tuple{3, 5, 0x5A, dataNs}}) {
        host.Command(load);
        host.Word(word);
        host.Command(8);
        host.Wait(ns - 10'000);
        EXPECT_EQ(host.Read(read), read == 4 ? 0x3FFF : 0xFF) << "cut short";
        host.Command(load);
        host.Word(word);
        host.Command(8);
        host.Wait(ns);
        EXPECT_EQ(host.Read(read), word);
    }
    host.Command(2);
    host.Word(0x0204);
    host.Command(24);
    host.Wait(onlyNs > 0 ? onlyNs : 20'000'000);
    EXPECT_EQ(host.Read(4), onlyNs > 0 ? 0x1234 & 0x0204 : 0x1234) << "programming only, where the chip knows it";
    host.Write(0, 0x0001);  // identifier 0
    host.Increment(6);
    EXPECT_EQ(host.Read(4), model.deviceId);
    host.Increment();
    host.Write(2, 0x0000);  // configuration: unimplemented bits read 0
    EXPECT_EQ(host.Read(4), 0x0000);
    host.PowerOff();

    // At the configuration word: everything, once the cycle has run its time.
    host.PowerOn();
    host.Command(0);
    host.Word(0x3FFF);
    host.Increment(7);
    setupErase(host, chipEraseNs - 10'000);
    EXPECT_EQ(host.Read(4), 0x0000) << "cut short";
    setupErase(host, chipEraseNs);
    EXPECT_EQ(host.Read(4), model.configMask);
    host.PowerOff();
    host.PowerOn();
    EXPECT_EQ(host.Read(4), 0x3FFF);
    EXPECT_EQ(host.Read(5), 0xFF);
    host.Write(2, 0x0ABC);
    host.Write(3, 0x42);
    host.PowerOff();

    // After Load Data for Data Memory: the data alone.
    host.PowerOn();
    host.Command(3);
    host.Word(0x3FFF);
    setupErase(host, dataEraseNs);
    EXPECT_EQ(host.Read(5), 0xFF);
    EXPECT_EQ(host.Read(4), 0x0ABC);
    host.PowerOff();
}

std::vector<sim::ChipModel> ChipsOf(std::initializer_list<sim::ChipFamily> families)
{
    std::vector<sim::ChipModel> chips;
    for (const sim::ChipModel& model : sim::kChipModels)
        if (std::ranges::find(families, model.family) != families.end())
            chips.push_back(model);
    return chips;
}

INSTANTIATE_TEST_SUITE_P(Chips, SetupEraseChipTest,
                         ::testing::ValuesIn(ChipsOf({sim::ChipFamily::Pic16f84, sim::ChipFamily::Pic16c84, sim::ChipFamily::Pic16f62x})),
                         [](const auto& info) { return std::string(info.param.name); });

// The chips whose cycles the host times and ends with End Programming
// (PIC16F87/88, PIC16F818/819): four words loaded into the row latches, one
// Begin Programming Only writing them at once; a cycle ended sooner than its
// table time, or by another command, leaves its locations unwritten; the
// data memory a byte at a time; the configuration words; bulk erases started
// by Begin Erase/Programming and ended by End Programming; Chip Erase after
// Load Configuration taking the whole chip.
class ExternallyTimedChipTest : public NamedChipTest {
protected:
    // Loads the words into consecutive latches from the counter on.
    static void LoadRow(WireHost& host, std::initializer_list<int> words)
    {
        bool first = true;
        for (int word : words) {
            if (!first)
                host.Increment();
            first = false;
            host.Command(2);
            host.Word(word);
        }
    }
    static void Program(WireHost& host, int command, int64_t waitNs)
    {
        host.Command(command);
        host.Wait(waitNs);
        host.Command(23);
    }
};

TEST_P(ExternallyTimedChipTest, WritesRowsAndBytesUntilEndProgrammingAndErases)
{
    const sim::ChipModel& model = GetParam();
    const int64_t rowNs = CycleNs(sim::CycleKind::ProgramOnly, sim::MemorySpace::Program);
    const int64_t byteNs = CycleNs(sim::CycleKind::ProgramOnly, sim::MemorySpace::Data);
    const int64_t bulkNs = CycleNs(sim::CycleKind::BulkProgram, sim::MemorySpace::Program);
    const int64_t chipEraseNs = CycleNs(sim::CycleKind::ChipErase, sim::MemorySpace::Program);
    const std::vector<int> row{0x1111, 0x2222, 0x3333, 0x0444};
    WireHost host = Host();
    const auto readWords = [&host](int count) {
        std::vector<int> words;
        for (int i = 0; i < count; ++i) {
            if (i > 0)
                host.Increment();
            words.push_back(host.Read(4));
        }
        return words;
    };

    // Short by 100 us: End Programming's own six clocks take 18 us here.
    constexpr int64_t kShortNs = 100'000;
    host.PowerOn();
    LoadRow(host, {0x1111, 0x2222, 0x3333, 0x0444});
    Program(host, 24, rowNs - kShortNs);
    host.Increment();  // the next row: 4..7
    LoadRow(host, {0x0555, 0x0666, 0x0777, 0x0888});
    Program(host, 24, rowNs);
    host.Increment();
    LoadRow(host, {0x0000, 0x0000, 0x0000, 0x0000});
    host.Command(24);
    host.Wait(rowNs);
    host.Increment();  // not End Programming: the row is spoiled
    host.Command(24);
    host.Wait(rowNs);  // nor is power taken away an end
    host.PowerOff();
    host.PowerOn();
    EXPECT_EQ(readWords(12), (std::vector<int>{0x3FFF, 0x3FFF, 0x3FFF, 0x3FFF, 0x0555, 0x0666, 0x0777, 0x0888,
                                                0x3FFF, 0x3FFF, 0x3FFF, 0x3FFF}));
    host.PowerOff();
    host.PowerOn();
    LoadRow(host, {0x1111, 0x2222, 0x3333, 0x0444});
    Program(host, 24, rowNs);
    host.PowerOff();
    host.PowerOn();
    EXPECT_EQ(readWords(4), row);

    for (const int64_t waitNs : {byteNs - kShortNs, byteNs}) {
        host.Command(3);
        host.Word(0x5A);
        Program(host, 24, waitNs);
        EXPECT_EQ(host.Read(5), waitNs < byteNs ? 0xFF : 0x5A);
    }
    host.Increment(model.dataBytes - 1);  // the last byte, then the first again
    host.Write(3, 0xA5);
    EXPECT_EQ(host.Read(5), 0xA5);
    host.Increment();
    EXPECT_EQ(host.Read(5), 0x5A);
    host.Command(1);  // codes of other chips, unknown here
    host.Command(7);
    host.Command(63);
    EXPECT_EQ(host.Read(5), 0x5A);
    host.PowerOff();

    // Configuration area: identifier 0, the device id, the configuration
    // word, and where the chip has it the second one.
    host.PowerOn();
    host.Write(0, 0x0001);
    host.Increment(6);
    EXPECT_EQ(host.Read(4), model.deviceId);
    host.Increment();
    host.Write(2, 0x0000);
    EXPECT_EQ(host.Read(4), 0x0000);
    if (model.config2Mask != 0) {
        host.Increment();
        EXPECT_EQ(host.Read(4), model.config2Mask);
        host.Write(2, 0x0000);
        EXPECT_EQ(host.Read(4), 0x0000);
    }
    host.PowerOff();

    // Chip Erase after Load Configuration: everything, protection with it
    // (the configuration word written above turned it on), once its time has run.
    host.PowerOn();
    host.Command(0);
    host.Word(0x3FFF);
    host.Command(31);
    host.Wait(chipEraseNs - 10'000);
    EXPECT_EQ(host.Read(4), 0x0001) << "cut short";
    host.Command(31);
    host.Wait(chipEraseNs);
    EXPECT_EQ(host.Read(4), 0x3FFF);
    host.Increment(7);
    EXPECT_EQ(host.Read(4), model.configMask);
    if (model.config2Mask != 0) {
        host.Increment();
        EXPECT_EQ(host.Read(4), model.config2Mask);
    }
    host.PowerOff();
    host.PowerOn();
    EXPECT_EQ(host.Read(4), 0x3FFF);
    EXPECT_EQ(host.Read(5), 0xFF);

    // Bulk erases of program and data memory, ended by End Programming.
    host.Write(2, 0x0ABC);
    host.Write(3, 0x42);
    host.Command(2);
    host.Word(0x3FFF);
    host.Command(9);
    Program(host, 8, bulkNs);
    host.Command(3);
    host.Word(0x3FFF);
    host.Command(11);
    Program(host, 8, bulkNs);
    EXPECT_EQ(host.Read(4), 0x3FFF);
    EXPECT_EQ(host.Read(5), 0xFF);
    host.PowerOff();

    const auto events = sim::LastChipRecord();
    EXPECT_EQ(ValuesOfKind(events, ChipEvent::CycleSpoiled).size(), 5u) << "row, byte, the two unended rows, Chip Erase";
}

INSTANTIATE_TEST_SUITE_P(Chips, ExternallyTimedChipTest,
                         ::testing::ValuesIn(ChipsOf({sim::ChipFamily::Pic16f88, sim::ChipFamily::Pic16f819})),
                         [](const auto& info) { return std::string(info.param.name); });
