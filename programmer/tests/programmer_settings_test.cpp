// Preferences.ini as the programmer tools read it.
#include "programmer_settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

TEST(ProgrammerSettings, DefaultsForAnEmptyFile)
{
    const ProgrammerSettings s = ParseProgrammerSettings("");
    EXPECT_EQ(s.delay, 200);
    EXPECT_EQ(s.dataOutInv, 0);
    EXPECT_EQ(s.dataInInv, 0);
    EXPECT_EQ(s.clockInv, 0);
    EXPECT_EQ(s.powerInv, 0);
    EXPECT_EQ(s.portName, "COM1");
}

TEST(ProgrammerSettings, DelayOutOfRangeIsWarnedAboutWithTheValueUsed)
{
    const std::string huge = DelayRangeWarning(ParseProgrammerSettings("Vantrel_Delay = 2147483647\n"));
    EXPECT_NE(huge.find("2147483647"), std::string::npos) << huge;
    EXPECT_NE(huge.find("используется 1000000"), std::string::npos) << huge;
    EXPECT_NE(DelayRangeWarning(ParseProgrammerSettings("Vantrel_Delay = -5\n")).find("используется 0"),
              std::string::npos);
    for (const char* fine : {"Vantrel_Delay = 0\n", "Vantrel_Delay = 1000000\n", "", "Vantrel_Delay = x\n"})
        EXPECT_EQ(DelayRangeWarning(ParseProgrammerSettings(fine)), "") << fine;
}

TEST(ProgrammerSettings, AllKeysAnyLetterCaseWithBlanks)
{
    const ProgrammerSettings s = ParseProgrammerSettings(
        "; adapter on the bench\r\n"
        "  vantrel_delay = 50\r\n"
        "VANTREL_DATAOUT_INV=1\n"
        "\tVantrel_DataIn_Inv\t=\t257\n"
        "Vantrel_Clock_Inv = 2\n"
        "Vantrel_Pitanie = 1\n"
        "ComPortName =   COM3   \n");
    EXPECT_EQ(s.delay, 50);
    EXPECT_EQ(s.dataOutInv, 1);
    EXPECT_EQ(s.dataInInv, 257);
    EXPECT_EQ(s.clockInv, 2);
    EXPECT_EQ(s.powerInv, 1);
    EXPECT_EQ(s.portName, "COM3");
}

TEST(ProgrammerSettings, IntegersComeFromLeadingDigits)
{
    EXPECT_EQ(ParseProgrammerSettings("Vantrel_Delay = 200us").delay, 200);
    EXPECT_EQ(ParseProgrammerSettings("Vantrel_Delay =").delay, 0) << "present but empty reads as 0";
    EXPECT_EQ(ParseProgrammerSettings("Vantrel_Delay = fast").delay, 0);
    EXPECT_EQ(ParseProgrammerSettings("Vantrel_Delay = -40").delay, -40);
    EXPECT_EQ(ParseProgrammerSettings("Vantrel_Delay = +40").delay, 40);
    EXPECT_EQ(ParseProgrammerSettings("Vantrel_Delay = 99999999999999999999").delay, 2147483647);
    EXPECT_EQ(ParseProgrammerSettings("Vantrel_Delay = -99999999999999999999").delay, -2147483647 - 1);
}

TEST(ProgrammerSettings, FirstEntryWinsAndGroupsHideTheirKeys)
{
    EXPECT_EQ(ParseProgrammerSettings("Vantrel_Delay=10\nvantrel_delay=20\n").delay, 10);
    const ProgrammerSettings grouped = ParseProgrammerSettings("[Programmer]\nVantrel_Delay=10\nComPortName=COM9\n");
    EXPECT_EQ(grouped.delay, 200);
    EXPECT_EQ(grouped.portName, "COM1");
    EXPECT_EQ(ParseProgrammerSettings("Vantrel_Delay=10\n[Other]\nVantrel_Delay=20\n").delay, 10);
}

TEST(ProgrammerSettings, OddBytesNeverBreakTheReading)
{
    // Byte-order mark, a last line without newline, CR-only line ends.
    const ProgrammerSettings s =
        ParseProgrammerSettings("\xEF\xBB\xBFVantrel_Delay=33\rComPortName=VIRTUAL");
    EXPECT_EQ(s.delay, 33);
    EXPECT_EQ(s.portName, "VIRTUAL");

    // NUL bytes, lines without "=", a key with no name, high bytes.
    const char oddBytes[] = "\x00\x01garbage\n=5\n\xFF\xFE=\x80\nVantrel_Delay=7\x00 9\n";
    const std::string odd(oddBytes, sizeof oddBytes - 1);
    EXPECT_EQ(ParseProgrammerSettings(odd).delay, 7);

    // One line of a megabyte before the key.
    const std::string longLine = std::string(1 << 20, 'x') + "\nVantrel_Clock_Inv=1\n";
    EXPECT_EQ(ParseProgrammerSettings(longLine).clockInv, 1);

    const std::string longValue = "ComPortName=" + std::string(1 << 20, 'y') + "\n";
    EXPECT_EQ(ParseProgrammerSettings(longValue).portName.size(), std::size_t(1) << 20);
}

TEST(ProgrammerSettings, AMissingFileIsReportedAsSuch)
{
    const auto dir = std::filesystem::temp_directory_path() / ("prefs-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    EXPECT_FALSE(ReadProgrammerSettings((dir / "Preferences.ini").string()));

    std::ofstream(dir / "Preferences.ini") << "Vantrel_Delay = 75\n";
    const auto settings = ReadProgrammerSettings((dir / "Preferences.ini").string());
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->delay, 75);

    std::filesystem::remove_all(dir);
}

}  // namespace
