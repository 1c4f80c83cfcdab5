// The Windows halves of the shared helpers: UTF-16 conversion and files
// named in UTF-8, Cyrillic directories included.
#include "atomic_file.h"
#include "ini_text.h"
#include "utf16.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>

namespace {

TEST(Utf16, RoundTripsRussianAndMarksBrokenInput)
{
    EXPECT_EQ(Utf8ToUtf16("Не найден программатор"), L"\u041d\u0435 \u043d\u0430\u0439\u0434\u0435\u043d "
                                                      L"\u043f\u0440\u043e\u0433\u0440\u0430\u043c\u043c"
                                                      L"\u0430\u0442\u043e\u0440");
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("Ошибка\nFF")), "Ошибка\nFF");
    EXPECT_EQ(Utf8ToUtf16("a\xFF" "b"), L"a\uFFFDb");
    EXPECT_EQ(Utf8ToUtf16(""), L"");
}

class CyrillicDirectory : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        ASSERT_GT(::GetTempPathW(MAX_PATH, temp), 0u);
        dir_ = std::filesystem::path(temp) /
               (L"\u041f\u0440\u043e\u0431\u0430-" + std::to_wstring(::GetCurrentProcessId()));
        std::filesystem::create_directories(dir_);
        file_ = Utf16ToUtf8((dir_ / L"\u0444\u0430\u0439\u043b.ini").wstring());
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::filesystem::path dir_;
    std::string file_;  // UTF-8, as the programs keep paths
};

TEST_F(CyrillicDirectory, ReplacesWholeAndReadsBack)
{
    ASSERT_TRUE(WriteFileAtomically(file_, "first\r\n"));
    EXPECT_EQ(ReadFileText(file_).value_or("?"), "first\r\n");
    ASSERT_TRUE(WriteFileAtomically(file_, "second"));
    EXPECT_EQ(ReadFileText(file_).value_or("?"), "second");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1) << "no temporary file left";
}

TEST_F(CyrillicDirectory, AFailedWriteLeavesTheOldFile)
{
    ASSERT_TRUE(WriteFileAtomically(file_, "kept"));
    EXPECT_FALSE(WriteFileAtomically(Utf16ToUtf8((dir_ / L"missing" / L"x.ini").wstring()), "lost"));
    // A file held open without sharing cannot be replaced; the old one stays whole.
    const HANDLE held = ::CreateFileW(Utf8ToUtf16(file_).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteFileAtomically(file_, "new"));
    ::CloseHandle(held);
    EXPECT_EQ(ReadFileText(file_).value_or("?"), "kept");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1) << "no temporary file left";
    EXPECT_FALSE(ReadFileText(file_ + ".none").has_value());
}

}  // namespace
