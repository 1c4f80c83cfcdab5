// The terminal's behaviour without a window: apply, monitor tick and
// sending, with the port layer replaced in process.
#include "fake_port.h"
#include "terminal_logic.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace {

using Calls = std::vector<std::string>;

class TerminalLogicTest : public ::testing::Test {
protected:
    void SetUp() override { ResetFakePort(); }

    // The hidden start-up apply with the settings as stored.
    void Start(const PortSettings& stored = DefaultPortSettings())
    {
        state_.settings = stored;
        state_.startupPass = true;
        ApplySettings(state_, ChoicesFromSettings(stored), false, false);
        state_.startupPass = false;
    }

    std::vector<std::string> Shown(int ticks)
    {
        std::vector<std::string> shown;
        for (int i = 0; i < ticks; ++i) {
            const TickView v = MonitorTick(state_);
            shown.push_back(v.field == FieldShowsByte ? v.fieldText : v.field == FieldEmptied ? "<empty>" : "<kept>");
            EXPECT_EQ(v.lamp, v.field == FieldShowsByte ? kLampReceived : kLampIdle);
        }
        return shown;
    }

    TerminalState state_{FakePortApi()};
};

}  // namespace

TEST_F(TerminalLogicTest, StartUpOpensWithTheStoredSettingsAndSavesNothing)
{
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    state_.settingsPath =
        (std::filesystem::temp_directory_path() / ("wirelet-logic-" + std::to_string(stamp) + ".ini")).string();
    Start();
    EXPECT_EQ(FakeCalls(""), (Calls{"open COM1:9600,N,8,1 0 1 1", "rts 0", "dtr 0"}));
    EXPECT_FALSE(std::filesystem::exists(state_.settingsPath));
    const PortStatus status = PortStatusOf(state_);
    EXPECT_TRUE(status.open);
    EXPECT_EQ(status.title, " Порт COM1 открыт");
    EXPECT_EQ(status.portValueColour, kPortOpenColour);
    EXPECT_EQ(SettingsDisplayTexts(state_.settings), (std::array<std::string, 6>{"COM1", "9600", "Нет", "1", "Нет", "8"}));
    CloseTerminal(state_);
    EXPECT_EQ(FakeCalls("").back(), "close 7");
}

TEST_F(TerminalLogicTest, OkReopensAndSetsRtsThenDtrUnlessFlowControlIsHardware)
{
    Start();
    FakePort().calls.clear();
    SettingsChoices choices = ChoicesFromSettings(state_.settings);
    ApplySettings(state_, choices, true, false);
    EXPECT_EQ(FakeCalls(""), (Calls{"close 7", "open COM1:9600,N,8,1 0 1 1", "rts 1", "dtr 0"}));
    FakePort().calls.clear();
    choices.flowControlIndex = 1;
    ApplySettings(state_, choices, true, true);
    EXPECT_EQ(FakeCalls(""), (Calls{"close 7", "open COM1:9600,N,8,1 2 1 1"}));
    FakePort().calls.clear();
    choices.flowControlIndex = 0;
    choices.xonText = "300";  // out of range: back to the default
    ApplySettings(state_, choices, false, true);
    EXPECT_EQ(FakeCalls(""), (Calls{"close 7", "open COM1:9600,N,8,1 3 1 1", "xonxoff 11 13", "rts 0", "dtr 1"}));
    EXPECT_EQ(SettingsDisplayTexts(state_.settings)[4], "Программное ( Xon / Xoff )");
}

TEST_F(TerminalLogicTest, FailedOpenIsReportedAndNeitherTicksNorSendsTouchThePort)
{
    FakePort().openSucceeds = false;
    PortSettings stored = DefaultPortSettings();
    stored.portIndex = 1;
    Start(stored);
    const PortStatus status = PortStatusOf(state_);
    EXPECT_FALSE(status.open);
    EXPECT_EQ(status.title, " Ошибка! Порт COM2 недоступен.");
    EXPECT_EQ(status.portValueColour, kPortFailedColour);
    FakePort().incoming = {5};
    const TickView v = MonitorTick(state_);
    EXPECT_FALSE(v.linesRead);
    EXPECT_EQ(v.field, FieldKept);
    EXPECT_EQ(v.lamp, kLampIdle);
    EXPECT_FALSE(SendByte(state_, "65"));
    EXPECT_EQ(FakeCalls(""), Calls{"open COM2:9600,N,8,1 0 1 1"});
}

TEST_F(TerminalLogicTest, BytesAreShownOnePerTickAndAFailedReadCountsAsZero)
{
    Start();
    FakePort().incoming = {1, 22, 255};
    FakePort().cts = 1;
    FakePort().ri = 1;
    EXPECT_EQ(Shown(4), (std::vector<std::string>{"1", "22", "255", "<kept>"}));
    const TickView lines = MonitorTick(state_);
    EXPECT_TRUE(lines.linesRead);
    EXPECT_EQ(std::vector<std::string>(lines.indicators.begin(), lines.indicators.end()),
              (std::vector<std::string>{"1", "0", "0", "1"}));
    FakePort().incoming = {9};
    FakePort().readFails = true;
    EXPECT_EQ(Shown(1), std::vector<std::string>{"0"});
}

TEST_F(TerminalLogicTest, XonAndXoffBytesWorkTheBreakOnlyWithThatFlowControl)
{
    PortSettings stored = DefaultPortSettings();
    Start(stored);
    FakePort().incoming = {11, 13};
    EXPECT_EQ(Shown(2), (std::vector<std::string>{"11", "13"}));
    // A negative value from the file passes; only its low 8 bits (17) count.
    stored.flowControlIndex = 0;
    stored.xonByte = -239;
    stored.xoffByte = 19;
    Start(stored);
    EXPECT_EQ(FakeCalls("xonxoff"), Calls{"xonxoff -239 19"});
    FakePort().incoming = {7, 19, 7, 17};
    EXPECT_EQ(Shown(4), (std::vector<std::string>{"7", "<empty>", "7", "<empty>"}));
    EXPECT_EQ(FakeCalls("break"), (Calls{"break 1", "break 0"}));
}

TEST_F(TerminalLogicTest, SentValuesAreLimitedTo255)
{
    Start();
    for (const char* text : {"300", "", "0", "65", "255", " +7x"})
        EXPECT_TRUE(SendByte(state_, text));
    EXPECT_EQ(FakeCalls("write"), (Calls{"write 255", "write 0", "write 0", "write 65", "write 255", "write 7"}));
}

TEST(TerminalChoices, StoredPositionsOutsideTheirListsShowNoChoice)
{
    PortSettings stored = DefaultPortSettings();
    stored.portIndex = 9;
    stored.baudIndex = -1;
    stored.xonByte = 1234;
    const SettingsChoices c = ChoicesFromSettings(stored);
    EXPECT_EQ(c.portIndex, -1);
    EXPECT_EQ(c.baudIndex, -1);
    EXPECT_EQ(c.flowControlIndex, 2);
    EXPECT_EQ(c.xonText, "1234");  // shown whole
    EXPECT_TRUE(XonXoffGroupEnabled(0));
    EXPECT_FALSE(XonXoffGroupEnabled(1) || XonXoffGroupEnabled(2) || XonXoffGroupEnabled(-1));
}
