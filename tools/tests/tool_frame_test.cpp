// The tools' start-up step in process: without Preferences.ini the message
// comes first and the defaults (COM1, 200 us) are what the port is opened
// with. Nothing is opened here: COM1 is the machine's console.
#include "link_state.h"
#include "programmer_settings.h"
#include "run_program.h"

#include <gtest/gtest.h>

namespace {

TEST(ToolStartUp, MissingSettingsFileGivesItsMessageAndTheDefaults)
{
    ScratchDirectory dir("tools-nosettings");
    const std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    CurrentLinkState().BitDelay = 7;
    CurrentLinkState().ClockInverted = 1;
    ::testing::internal::CaptureStdout();
    LoadProgrammerSettings();
    const std::string shown = ::testing::internal::GetCapturedStdout();
    std::filesystem::current_path(home);

    EXPECT_EQ(shown, "Ошибка\nФайл Preferences.ini не найден\n\n");
    EXPECT_EQ(ProgrammerPortName(), "COM1");
    EXPECT_EQ(CurrentLinkState().BitDelay, 200);
    EXPECT_EQ(CurrentLinkState().ClockInverted, 0);
}

TEST(ToolStartUp, SettingsGoIntoTheLinkState)
{
    ScratchDirectory dir("tools-settings");
    dir.Write("Preferences.ini", "Vantrel_Delay=55\nVantrel_DataIn_Inv=257\nVantrel_Pitanie=2\nComPortName=VIRTUAL\n");
    const std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    ::testing::internal::CaptureStdout();
    LoadProgrammerSettings();
    const std::string shown = ::testing::internal::GetCapturedStdout();
    std::filesystem::current_path(home);

    EXPECT_EQ(shown, "");
    EXPECT_EQ(ProgrammerPortName(), "VIRTUAL");
    EXPECT_EQ(CurrentLinkState().BitDelay, 55);
    EXPECT_EQ(CurrentLinkState().DataInInverted, 1) << "low 8 bits of 257";
    EXPECT_EQ(CurrentLinkState().PowerInverted, 2);
}

}  // namespace
