// The adapter's line protocol against the virtual programmer: what each
// primitive does on the wires, and what the modelled PIC makes of it.
#include "link_state.h"
#include "vantrel_pic.h"
#include "virtual_programmer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using sim::Line;

// Levels of the host's three outputs, replayed from the line record.
struct Outputs {
    bool rts = true;  // a port comes up with DTR and RTS raised
    bool dtr = true;
    bool brk = false;
};

void Apply(Outputs& o, const sim::LineEvent& e)
{
    if (e.line == Line::Rts)
        o.rts = e.level;
    else if (e.line == Line::Dtr)
        o.dtr = e.level;
    else if (e.line == Line::Break)
        o.brk = e.level;
}

Outputs OutputsNow()
{
    Outputs o;
    for (const sim::LineEvent& e : sim::LastLineRecord())
        Apply(o, e);
    return o;
}

// The data bit on DTR at each active clock edge after record position mark.
std::vector<int> BitsClockedOutSince(std::size_t mark, bool clockInverted = false)
{
    const std::vector<sim::LineEvent> record = sim::LastLineRecord();
    Outputs o;
    std::vector<int> bits;
    for (std::size_t i = 0; i < record.size(); ++i) {
        const bool before = o.rts;
        Apply(o, record[i]);
        if (i >= mark && record[i].line == Line::Rts && before != o.rts && o.rts != clockInverted)
            bits.push_back(o.dtr ? 1 : 0);
    }
    return bits;
}

std::vector<uint32_t> ChipEventsOf(sim::ChipEvent::Kind kind)
{
    std::vector<uint32_t> values;
    for (const sim::ChipEvent& e : sim::LastChipRecord())
        if (e.kind == kind)
            values.push_back(e.value);
    return values;
}

class LineProtocol : public ::testing::Test {
protected:
    void SetUp() override
    {
        home_ = std::filesystem::current_path();
        dir_ = std::filesystem::temp_directory_path() /
               ("line-protocol-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        std::filesystem::current_path(dir_);
        Vantrel_Init(0, 0, 0, 0, 0);
    }
    void TearDown() override
    {
        CloseCom_Port();
        std::filesystem::current_path(home_);
        std::filesystem::remove_all(dir_);
    }
    std::filesystem::path home_, dir_;
};

TEST_F(LineProtocol, CommandsGoOutSixBitsLeastSignificantFirst)
{
    ASSERT_NE(OpenCom_Port("VIRTUAL"), 0);
    std::size_t mark = sim::LastLineRecord().size();
    Vantrel_OutByteCommand(4);
    EXPECT_EQ(BitsClockedOutSince(mark), (std::vector<int>{0, 0, 1, 0, 0, 0}));

    mark = sim::LastLineRecord().size();
    Vantrel_OutByteCommand(0x46);
    EXPECT_EQ(BitsClockedOutSince(mark), (std::vector<int>{0, 1, 1, 0, 0, 0})) << "bits 6 and 7 are never sent";
}

TEST_F(LineProtocol, DataWordsGoOutBetweenStartAndStopBits)
{
    ASSERT_NE(OpenCom_Port("VIRTUAL"), 0);
    const std::vector<int> allOnes = {0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0};
    for (int32_t word : {0x3FFF, 0xFFFF}) {
        const std::size_t mark = sim::LastLineRecord().size();
        Vantrel_OutByteData(word);
        EXPECT_EQ(BitsClockedOutSince(mark), allOnes) << word;
    }
    const std::size_t mark = sim::LastLineRecord().size();
    Vantrel_OutByteData(1);
    EXPECT_EQ(BitsClockedOutSince(mark), (std::vector<int>{0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(LineProtocol, InitClampsTheDelayToWhatPicProgAccepts)
{
    // 2147483647 us per delay would keep a tool busy for half an hour per bit.
    for (const auto& [given, stored] : {std::pair{2147483647, VANTREL_MAX_DELAY}, std::pair{1000001, VANTREL_MAX_DELAY},
                                        std::pair{-7, 0}, std::pair{1000000, 1000000}, std::pair{0, 0}}) {
        Vantrel_Init(given, 0, 0, 0, 0);
        EXPECT_EQ(CurrentLinkState().BitDelay, stored) << given;
    }
}

TEST_F(LineProtocol, DataIsStableTwoDelaysBeforeTheClockRises)
{
    Vantrel_Init(300, 0, 0, 0, 0);
    ASSERT_NE(OpenCom_Port("VIRTUAL"), 0);
    Vantrel_DataOut(0);
    const std::size_t mark = sim::LastLineRecord().size();
    Vantrel_DataOut(1);
    // The host's own outputs only; the adapter's inputs follow them.
    const std::vector<sim::LineEvent> all = sim::LastLineRecord();
    std::vector<sim::LineEvent> record;
    for (std::size_t i = mark; i < all.size(); ++i)
        if (all[i].line == Line::Rts || all[i].line == Line::Dtr || all[i].line == Line::Break)
            record.push_back(all[i]);
    ASSERT_EQ(record.size(), 3u) << "data, clock up, clock down";
    EXPECT_EQ(record[0].line, Line::Dtr) << "data first";
    EXPECT_EQ(record[1].line, Line::Rts);
    EXPECT_TRUE(record[1].level);
    EXPECT_EQ(record[2].line, Line::Rts);
    EXPECT_GE(record[1].timeNs - record[0].timeNs, 600'000);
    EXPECT_GE(record[2].timeNs - record[1].timeNs, 300'000);
}

TEST_F(LineProtocol, InvertedClockPulsesLowAndIdlesHigh)
{
    Vantrel_Init(0, 0, 0, 1, 0);
    ASSERT_NE(OpenCom_Port("VIRTUAL"), 0);
    Vantrel_StartStop(1);
    EXPECT_TRUE(OutputsNow().rts) << "idle clock is RTS set";
    const std::size_t mark = sim::LastLineRecord().size();
    Vantrel_OutByteCommand(6);
    EXPECT_EQ(BitsClockedOutSince(mark, true), (std::vector<int>{0, 1, 1, 0, 0, 0}));
    const std::vector<sim::LineEvent> record = sim::LastLineRecord();
    bool sawFallFirst = false;
    for (std::size_t i = mark; i < record.size(); ++i) {
        if (record[i].line == Line::Rts) {
            sawFallFirst = !record[i].level;
            break;
        }
    }
    EXPECT_TRUE(sawFallFirst) << "each pulse is RTS cleared, then set";
    EXPECT_TRUE(OutputsNow().rts);
}

TEST_F(LineProtocol, InversionOnlyForTheValueOne)
{
    for (int32_t flag : {2, 0x100, -1}) {
        Vantrel_Init(0, flag, flag, flag, flag);
        ASSERT_NE(OpenCom_Port("VIRTUAL-NOADAPTER"), 0);
        Vantrel_StartStop(1);
        EXPECT_TRUE(OutputsNow().brk) << flag;
        EXPECT_FALSE(OutputsNow().rts) << flag;
        EXPECT_EQ(Vantrel_DataIn(), 0) << flag;
        CloseCom_Port();
    }
    Vantrel_Init(0, 257, 257, 257, 257);
    ASSERT_NE(OpenCom_Port("VIRTUAL-NOADAPTER"), 0);
    Vantrel_StartStop(1);
    EXPECT_FALSE(OutputsNow().brk);
    EXPECT_TRUE(OutputsNow().rts);
    EXPECT_TRUE(OutputsNow().dtr);
    EXPECT_EQ(Vantrel_DataIn(), 1);
}

TEST_F(LineProtocol, StartStopDropsClockAndDataFortyMillisecondsBeforePower)
{
    ASSERT_NE(OpenCom_Port("VIRTUAL"), 0);
    for (int32_t on : {1, 0x101, 0}) {
        Vantrel_DataOut(1);  // leave data and clock somewhere else first
        const std::size_t mark = sim::LastLineRecord().size();
        Vantrel_StartStop(on);
        const std::vector<sim::LineEvent> record = sim::LastLineRecord();
        const Outputs o = OutputsNow();
        EXPECT_FALSE(o.rts);
        EXPECT_FALSE(o.dtr);
        EXPECT_EQ(o.brk, (on & 0xFF) != 0);
        int64_t lastClockOrData = -1, power = -1;
        for (std::size_t i = mark; i < record.size(); ++i) {
            if (record[i].line == Line::Rts || record[i].line == Line::Dtr)
                lastClockOrData = record[i].timeNs;
            if (record[i].line == Line::Break)
                power = record[i].timeNs;
        }
        ASSERT_GE(lastClockOrData, 0);
        if (power >= 0) {
            EXPECT_GE(power - lastClockOrData, 40'000'000) << on;
        }
    }
    Vantrel_Init(0, 0, 0, 0, 1);
    Vantrel_StartStop(1);
    EXPECT_FALSE(OutputsNow().brk) << "inverted power: on is break cleared";
}

TEST_F(LineProtocol, PresenceTestNeedsDsrToFollowRts)
{
    ASSERT_NE(OpenCom_Port("VIRTUAL"), 0);
    EXPECT_EQ(Vantrel_Test(), 1);
    EXPECT_FALSE(OutputsNow().rts) << "the test leaves RTS cleared";
    ASSERT_NE(OpenCom_Port("VIRTUAL-EMPTY"), 0);
    EXPECT_EQ(Vantrel_Test(), 1) << "the adapter answers without a chip";
    ASSERT_NE(OpenCom_Port("VIRTUAL-NOADAPTER"), 0);
    EXPECT_EQ(Vantrel_Test(), 0) << "DSR stuck off";
    ASSERT_NE(OpenCom_Port("VIRTUAL-LOOPBACK"), 0);
    EXPECT_EQ(Vantrel_Test(), 0) << "DSR stuck on: a loopback plug ties it to DTR, which stays up";
    Vantrel_StartStop(0);
    EXPECT_EQ(Vantrel_Test(), 0) << "DSR stuck off once DTR is down";
    CloseCom_Port();
    EXPECT_EQ(Vantrel_Test(), 0) << "no port";
}

TEST_F(LineProtocol, ReadsGiveWhatTheDataLineCarries)
{
    ASSERT_NE(OpenCom_Port("VIRTUAL-EMPTY"), 0);
    Vantrel_StartStop(1);
    EXPECT_EQ(Vantrel_InByteData(), 0x3FFF) << "no chip: the released line reads 1";
    ASSERT_NE(OpenCom_Port("VIRTUAL-NOADAPTER"), 0);
    EXPECT_EQ(Vantrel_InByteData(), 0);
    Vantrel_Init(0, 0, 1, 0, 0);
    EXPECT_EQ(Vantrel_InByteData(), 0x3FFF);
    CloseCom_Port();
    EXPECT_EQ(Vantrel_InByteData(), 0x3FFF) << "no port, inverted data-in";
    EXPECT_EQ(Vantrel_DataIn(), 1);
    Vantrel_Init(0, 0, 0, 0, 0);
    EXPECT_EQ(Vantrel_InByteData(), 0);
}

TEST_F(LineProtocol, OpeningAgainClosesThePortFirst)
{
    const int32_t first = OpenCom_Port("VIRTUAL");
    ASSERT_NE(first, 0);
    // The virtual port admits one user at a time, so this only succeeds if
    // the first one was closed.
    EXPECT_NE(OpenCom_Port("VIRTUAL"), 0);
    EXPECT_EQ(OpenCom_Port(""), 0);
    EXPECT_EQ(CurrentLinkState().PortHandle, 0);
    EXPECT_EQ(OpenCom_Port(nullptr), 0);
}

// Bulk erase, program 1..10, read back: what the tools do, by hand.
void ProgramWordsOneToTen()
{
    Vantrel_StartStop(1);
    Vantrel_OutByteCommand(2);
    Vantrel_OutByteData(0x3FFF);
    Vantrel_OutByteCommand(9);
    Vantrel_OutByteCommand(8);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    Vantrel_StartStop(0);
    Vantrel_StartStop(1);
    for (int32_t word = 1; word <= 10; ++word) {
        Vantrel_OutByteCommand(2);
        Vantrel_OutByteData(word);
        Vantrel_OutByteCommand(8);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        Vantrel_OutByteCommand(6);
    }
    Vantrel_StartStop(0);
}

std::vector<int32_t> ReadFirstWords(int count)
{
    std::vector<int32_t> words;
    Vantrel_StartStop(1);
    for (int i = 0; i < count; ++i) {
        Vantrel_OutByteCommand(4);
        words.push_back(Vantrel_InByteData());
        Vantrel_OutByteCommand(6);
    }
    Vantrel_StartStop(0);
    return words;
}

TEST_F(LineProtocol, ProgramMemoryRoundTripAlsoInASecondProcess)
{
    const std::vector<int32_t> expected = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0x3FFF};
    ASSERT_NE(OpenCom_Port("VIRTUAL"), 0);
    ProgramWordsOneToTen();
    EXPECT_EQ(ReadFirstWords(11), expected);
    EXPECT_EQ(ChipEventsOf(sim::ChipEvent::DataIn).front(), 0x3FFFu);
    EXPECT_TRUE(ChipEventsOf(sim::ChipEvent::CycleSpoiled).empty());
    CloseCom_Port();

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The chip lives on in virtual-pic.hex in this directory.
        const bool same = OpenCom_Port("VIRTUAL") != 0 && ReadFirstWords(11) == expected;
        CloseCom_Port();
        ::_exit(same ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(DelayMicroseconds, WaitsAtLeastTheRequestFromTenOn)
{
    using Clock = std::chrono::steady_clock;
    for (int32_t n : {10, 200, 1000}) {
        const auto start = Clock::now();
        DelayMicroseconds(n);
        EXPECT_GE(Clock::now() - start, std::chrono::microseconds(n)) << n;
    }
}

}  // namespace
