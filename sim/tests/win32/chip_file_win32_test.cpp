// The virtual chip's file on Windows: kept in a working directory with a
// Cyrillic name, one open port at a time, and the lock released at close.
#include "chip_file.h"
#include "utf16.h"
#include "virtual_programmer.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>

namespace {

class ChipFileInCyrillicDirectory : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        ASSERT_GT(::GetTempPathW(MAX_PATH, temp), 0u);
        temp_ = temp;
        dir_ = temp_ / (L"\u0421\u0442\u0435\u043d\u0434-" + std::to_wstring(::GetCurrentProcessId()));
        std::filesystem::create_directories(dir_);
        ASSERT_TRUE(::SetCurrentDirectoryW(dir_.wstring().c_str()));
    }
    void TearDown() override
    {
        ::SetCurrentDirectoryW(temp_.wstring().c_str());
        std::filesystem::remove_all(dir_);
    }
    std::filesystem::path temp_;
    std::filesystem::path dir_;
};

TEST_F(ChipFileInCyrillicDirectory, TheChipOutlivesThePortAndTheLockIsReleased)
{
    sim::VirtualPort* port = sim::OpenVirtualPort("VIRTUAL");
    ASSERT_NE(port, nullptr);
    // A data-memory write through the wires would take a page; the power
    // line alone shows the record and the file are kept.
    sim::SetBreak(port, true);
    sim::SetBreak(port, false);
    sim::CloseVirtualPort(port);
    EXPECT_TRUE(std::filesystem::exists(dir_ / L"virtual-pic.hex"));
    EXPECT_FALSE(sim::ReadVcd(Utf16ToUtf8((dir_ / L"virtual-pic.vcd").wstring())).empty());

    port = sim::OpenVirtualPort("VIRTUAL");
    EXPECT_NE(port, nullptr) << "the lock was released at close";
    sim::CloseVirtualPort(port);
}

TEST_F(ChipFileInCyrillicDirectory, ASecondLockOnTheSameFileIsBusyUntilReleased)
{
    const std::string hex = sim::InWorkingDirectory("virtual-pic.hex");
    EXPECT_EQ(hex, Utf16ToUtf8((dir_ / L"virtual-pic.hex").wstring()));
    bool busy = false;
    int error = 0;
    const int first = sim::LockFileExclusively(hex, busy, error);
    ASSERT_GE(first, 0);
    // Another spelling of the same file is the same lock.
    std::string upper = hex;
    upper.replace(upper.size() - 15, 15, "VIRTUAL-PIC.HEX");
    EXPECT_LT(sim::LockFileExclusively(upper, busy, error), 0);
    EXPECT_TRUE(busy);
    sim::UnlockFile(first);
    const int again = sim::LockFileExclusively(hex, busy, error);
    EXPECT_GE(again, 0);
    sim::UnlockFile(again);
}

TEST_F(ChipFileInCyrillicDirectory, AFileThatCannotBeMadeIsNotBusyAndSaysWhy)
{
    bool busy = true;
    int error = 0;
    EXPECT_LT(sim::LockFileExclusively(Utf16ToUtf8((dir_ / L"missing" / L"virtual-pic.hex").wstring()), busy, error),
              0);
    EXPECT_FALSE(busy);
    EXPECT_EQ(sim::SystemErrorText(error), "каталог не существует");
}

}  // namespace
